// The inside of the simplified DXF writer that its callers never see: the
// unnamed file a streamed drawing goes to, the thread that reads the records
// back while the drawing goes on, and the writing behind of a planned file.
// Included by the writer's own units only.
#pragma once

#include <sys/types.h>

#include <exception>
#include <memory>

#include "output/direct_write.h"
#include "output/dxf_writer.h"
#include "output/write_behind.h"
#include "platform/batch_pipe.h"
#include "platform/emf_records.h"

// The records of a drawing handed to the thread that reads them back.
using TRecordPipe = TPiecePipe<TEmfRecordBuffer>;

struct TkrDXFExport::TStreamFile {
    // The unnamed temporary file (or, planned, the file to be saved); -1: none.
    int Fd = -1;
    // Reading back without the thread: the error that ended it.
    std::exception_ptr ReadError;
    // Reading back on the thread: the records on their way to it.
    std::unique_ptr<TRecordPipe> Pipe;
    // Planned streaming: the system can link the unnamed file under a name.
    bool Linkable = false;
    // Where the entities lie in the file (the file's end, as the tail of a
    // planned file may follow them).
    off_t EntityStart = 0, EntityEnd = 0;
    // A planned file is the saved file itself: once large it goes on
    // straight to the disk where the file system allows (Direct, see
    // output/direct_write.h); otherwise past its first gigabyte it is
    // written behind (output/write_behind.h).
    TWriteBehind WriteBehind;
    std::unique_ptr<TDirectWrite> Direct;
    bool DirectTried = false;  // Direct was tried once (it is not tried again)
    bool DirectFailed = false;  // an append to Direct failed
};
