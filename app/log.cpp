#include "app/log.h"

void TStreamLog::Append(const std::string& line) {
    Out << line << '\n';
    Out.flush();
}
