// Entity drawing: which entities are drawn, with which pen, and which sink
// operations each entity kind produces. The graphic that draws is passed to
// every procedure (it is the receiver of the entity's draw event).
#pragma once

#include <span>

#include "model/entity.h"

class TkrDXFImage;

// Attaches the drawing procedure of the entity's class (the nearest listed
// ancestor wins); an entity without one is never drawn.
void AttachDrawProcedure(TkrDXFImage& g, TkrDXFEntity& e);
// The visit procedure of the drawing pass (receiver: the graphic).
void EntityCallback(void* receiver, TkrDXFEntity& e);

// Texts, attribute definitions and attributes (render/draw_text.cpp).
void DrawText(TkrDXFImage& g, TkrDXFEntity& e);

// Shared steps, also used by the richer entity kinds.
void SetEntityPen(TkrDXFImage& g, const TkrDXFPenLine& pen);
void SetEntityPen(TkrDXFImage& g, const class TPolylinePen& pen);
void BuildPointList(TkrDXFImage& g, std::span<const TPoint3F> points);
void DrawSegmentPairs(TkrDXFImage& g);
void DrawEdge(TkrDXFImage& g, const TkrLines* pattern, double scale, const TPoint3F& a, const TPoint3F& b);
// The procedures of polylines (curves included) and splines.
void DrawPolylineOf(TkrDXFImage& g, class TkrDXFPolyline& p);
void DrawSplineOf(TkrDXFImage& g, class TkrDXFSpline& s);
