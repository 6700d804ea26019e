// Exceptions of the simplified DXF writer and the recording reader.
#pragma once

#include <string>

#include "platform/errors.h"

class EkrExportError : public EPlandropError {
public:
    explicit EkrExportError(const std::string& msg) : EPlandropError(msg) {}
};

// A transformed coordinate or a position left the 32-bit integer range.
class ERangeError : public EkrExportError {
public:
    ERangeError() : EkrExportError("Range check error") {}
};

// A recorded drawing record whose counts do not match what it carries, or
// whose values are beyond any sane bound.
class EMalformedRecord : public EkrExportError {
public:
    explicit EMalformedRecord(const std::string& what)
        : EkrExportError("Malformed metafile record: " + what) {}
};

// The output file could not be created or written.
class EFileError : public EkrExportError {
public:
    using EkrExportError::EkrExportError;
};
