// How a drawing is read: the points of its curves and whether its entities
// are finished on a thread of their own. Set by whoever loads the drawing.
#pragma once

#include <cstdint>

// (alignas: on a line of its own. The finishing thread reads the settings
// with every entity while the reading thread writes the converter's parts
// around them, such as the last layer looked up just before: a line the one
// writes and the other reads moves between the processors each time, and the
// lookup of the layer cost five times as long.)
struct alignas(64) TReadSettings {
    int32_t SplineParts = 25;
    int32_t CirclePoints = 16;
    double LTScale = 0;  // 0: not looked up yet
    // Largest distance (drawing units) a chord of a circle, arc, ellipse,
    // bulge or spline may stray from the true curve; 0: the fixed counts
    // (CirclePoints, SplineParts, 16 chords a bulge). A tolerance only adds
    // points: no curve gets fewer than the fixed counts give it. The drawing
    // makes the curves' points again with it: changed only before the text
    // is read (or read again, see Reload).
    double ChordTolerance = 0;
    // The entities of the ENTITIES section are finished on a thread of their
    // own while the reader reads on (model/finishing.h): set by whoever loads
    // and has a core to spare. The model is the same either way.
    bool FinishOnThread = false;
};
