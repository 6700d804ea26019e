#include "cli/json.h"

#include <charconv>
#include <cmath>

void TJsonWriter::Sep() {
    if (FAfterKey) {
        FAfterKey = false;
        return;
    }
    if (!FFirst) Out += ',';
    FFirst = false;
}

void TJsonWriter::Key(std::string_view k) {
    String(k);
    Out += ':';
    FAfterKey = true;
}

void TJsonWriter::String(std::string_view s) {
    Sep();
    Out += '"';
    for (unsigned char c : s) {
        switch (c) {
            case '"': Out += "\\\""; break;
            case '\\': Out += "\\\\"; break;
            case '\n': Out += "\\n"; break;
            case '\r': Out += "\\r"; break;
            case '\t': Out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    static const char* hex = "0123456789abcdef";
                    buf[0] = '\\', buf[1] = 'u', buf[2] = '0', buf[3] = '0', buf[4] = hex[c >> 4], buf[5] = hex[c & 15];
                    Out.append(buf, 6);
                } else {
                    Out += char(c);
                }
        }
    }
    Out += '"';
}

void TJsonWriter::Number(double v) {
    Sep();
    if (!std::isfinite(v)) {
        Out += "null";
        return;
    }
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    Out.append(buf, r.ptr);
}

void TJsonWriter::Integer(long long v) {
    Sep();
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    Out.append(buf, r.ptr);
}
