// Drawing of leaders, compound entities (their parts), raster images and viewports (their content is drawn
// by the viewport itself, through the entity callback).
#pragma once

class TkrDXFImage;
class TkrDXFEntity;

// The leader's path (a spline when it is spline-shaped, else a polyline);
// then its arrow is marked for expansion when it has a block.
void DrawLeader(TkrDXFImage& g, TkrDXFEntity& e);
// Looks the image's picture up; nothing of an image reaches the sink.
void DrawImage(TkrDXFImage& g, TkrDXFEntity& e);
// A multileader, multiline, wipeout or proxy entity draws nothing itself:
// it marks its parts to be drawn (see TkrDXFCompound::Iterate), unless they
// are hidden (a wipeout's frame when frames are off).
void DrawCompound(TkrDXFImage& g, TkrDXFEntity& e);
// Nothing: a viewport's frame is not drawn.
void DrawViewport(TkrDXFImage& g, TkrDXFEntity& e);
