// Entity drawing: which entities are drawn, with which pen, and which sink
// operations each entity kind produces. The graphic that draws is passed to
// every procedure (it is the receiver of the entity's draw event).
#pragma once

#include <span>
#include <string_view>

#include "model/entity.h"

class TkrDXFImage;

// The graphic's draw procedure as its converter's DrawEvent, which
// AttachDrawProcedure then refers entities to.
void InstallDrawEvent(TkrDXFImage& g);
// Attaches the drawing procedure of the entity's class (the nearest listed
// ancestor wins); an entity without one is never drawn. The entity only
// notes that it has one: the graphic drawing it calls it (see TDrawHook).
void AttachDrawProcedure(TkrDXFImage& g, TkrDXFEntity& e);
// The visit procedure of the drawing pass (receiver: the graphic).
void EntityCallback(void* receiver, TkrDXFEntity& e);

// Texts, attribute definitions and attributes (render/draw_text.cpp).
void DrawText(TkrDXFImage& g, TkrDXFEntity& e);
// The font height in target units of a text height h in a context of scale
// sy, at least 1; 0 when it maps outside the 32-bit range of the target (such
// a text is left out). Below 2 a text is too small for a font.
int32_t TextFontHeight(double h, double sy);
// Draws the string s of text t in the strokes of the graphic's stroke fonts
// (render/draw_lettering.cpp), placed in context place; insertedSpaces: the
// spaces s gained by the widening of spaces. False, with nothing drawn, when
// the strokes would leave the target's range.
bool DrawTextStrokes(TkrDXFImage& g, const class TkrDXFText& t, std::string_view s, size_t insertedSpaces,
                     const TDrawContext& place);

// Shared steps, also used by the richer entity kinds.
void SetEntityPen(TkrDXFImage& g, const TkrDXFPenLine& pen);
void SetEntityPen(TkrDXFImage& g, const class TPolylinePen& pen);
void BuildPointList(TkrDXFImage& g, std::span<const TPoint3F> points);
void BuildPointList(TkrDXFImage& g, std::span<const TPoint2F> points);
void DrawSegmentPairs(TkrDXFImage& g);
void DrawEdge(TkrDXFImage& g, const TkrLines* pattern, double scale, const TPoint3F& a, const TPoint3F& b);
// True widths in the text form (render/draw_widths.cpp): the closed outline
// of a polyline's band, from the points work holds for it (false, with
// nothing drawn, when it has no width and penWidth is not above 1: a band of
// penWidth target units), and of a solid or trace.
bool DrawPolylineBands(TkrDXFImage& g, const class TkrDXFPolyline& p, const struct TPointWork& work, int penWidth);
void DrawSolidOutline(TkrDXFImage& g, const class TkrDXFSolid& s);
// The procedures of polylines (curves included) and splines.
void DrawPolylineOf(TkrDXFImage& g, class TkrDXFPolyline& p);
void DrawSplineOf(TkrDXFImage& g, class TkrDXFSpline& s);
