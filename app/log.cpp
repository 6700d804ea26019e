#include "app/log.h"

#include "app/printable.h"

void TStreamLog::Append(const std::string& line) {
    // Log lines name files and quote messages of the drawing's reader.
    Out << Printable(line) << '\n';
    Out.flush();
}
