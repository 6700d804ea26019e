// The conversion settings of the second page: output folder, which layouts to
// convert, the output form and the layout number. The values of the layout
// choice and the output form are those stored in project files.
#pragma once

#include <cstdint>
#include <string>

enum TLayoutChoice : int32_t {
    lcAllLayouts = 2,    // every layout, each into a file of its own
    lcSingleLayout = 6,  // only the layout whose 1-based number is LayoutNumber
};

enum TOutputForm : int32_t {
    ofDXF = 1,   // simplified DXF file
    ofText = 2,  // text file, one "x1;y1;x2;y2" line per straight segment
};

struct TConvertSettings {
    // Output folder as typed; empty means the program folder.
    std::string OutputFolder;
    TLayoutChoice LayoutChoice = lcAllLayouts;
    TOutputForm OutputForm = ofDXF;
    // 1-based layout number for lcSingleLayout. The window's spin edit keeps
    // it within 1..10000; a project file may carry any 32-bit value, which
    // simply matches no layout when it is out of that range.
    int32_t LayoutNumber = 1;
    // Largest distance (target units) a chord of a curve may stray from the
    // true curve; 0: the fixed point counts. Not kept in project files.
    double CurveTolerance = 0;
    // Texts drawn as lines in single-stroke fonts (in the text form, and as
    // LINEs instead of MTEXT in the simplified DXF form). Not kept in project
    // files.
    bool TextStrokes = false;
    // In the text form, wide polylines, wide pens, solids and traces drawn as
    // the closed outlines of their bands. Not kept in project files.
    bool TrueWidths = false;
};
