// Writing the output of one layout in one of the two forms: the text file of
// segment lines, or the simplified DXF. What draws the layout is the caller's
// (output knows nothing of drawings): the writing asks for a drawing as often
// as the form needs one, and says when the drawing that gives the output is
// done, so that the caller reports what it left out.
#pragma once

#include <atomic>
#include <string>

class TPDFCanvas;
class TSideWork;

enum class TLayoutForm { Text, SimplifiedDxf };

class TLayoutDrawing {
public:
    virtual ~TLayoutDrawing() = default;
    // Draws the layout onto sink, fitted into the target rectangle; an
    // exception (an interrupt, an error) ends the layout.
    virtual void Draw(TPDFCanvas& sink) = 0;
    // Before every drawing but the first: what the drawings before changed
    // of the drawing's state (its work counter, what it found left out) is
    // put back, so that this one draws the same.
    virtual void Again() = 0;
    // The drawing that gives the output is done (the output is completed
    // next): what it left out is reported. A drawing that differed from its
    // measured plan is drawn once more and Drawn is called again; nothing
    // new is to be reported then.
    virtual void Drawn() = 0;
    // Work of the drawing's own that the writing thread may do while it
    // waits for output (none by default): in text form, and while the
    // simplified DXF form is measured. (Writing that form, the writing
    // thread has more to do than the drawing one.) NoSideWork: the drawings
    // from now on are done without it.
    virtual TSideWork* SideWork() { return nullptr; }
    virtual void NoSideWork() {}
};

// Writes the layout drawing draws into path in form. helperThread: the
// writing stage (formatting the text lines, reading the DXF records back)
// runs on a thread of its own; the output is the same either way.
//
// The text file is written under its final name as it is drawn (created is
// set once it exists). When an error ends the layout, the file stays with
// the lines written so far; when cancel is set as the layout ends, the
// partial file (created here, exclusively) is removed and created reset.
//
// The simplified DXF is drawn twice: first only measured (extents, handles,
// line types: what its head needs), then written straight into its file
// behind that head, which gets the final name only when complete. Writing the
// entities once costs less than a second drawing. A drawing that draws
// differently the second time is drawn once more and its file put together
// from the entities it writes. A file error names the output file.
void WriteLayout(TLayoutForm form, const std::string& path, bool helperThread, TLayoutDrawing& drawing,
                 const std::atomic<bool>* cancel, bool& created);
