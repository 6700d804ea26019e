// Exceptions of the drawing model. Every error the reader, the model or the
// pattern cutting raises is an EkrError (the "ordinary" kind); the reader
// rewrites the message of an EkrError in flight to carry the line number and
// value, and lets any other exception pass unchanged.
#pragma once

#include <string>

#include "platform/errors.h"

class EkrError : public EPlandropError {
public:
    using EPlandropError::EPlandropError;
};

// A value that is not a number ("'%s' ist kein gültiger Integerwert").
class EConvertError : public EkrError {
public:
    using EkrError::EkrError;
};

// An invalid type cast (SetTable with an entity of the wrong class).
class EInvalidCast : public EkrError {
public:
    using EkrError::EkrError;
};

// A resource bound was hit (too deeply nested, too large, too many points).
class ELimitError : public EkrError {
public:
    using EkrError::EkrError;
};

// A dash pattern was asked to cut with a pattern of fewer than two elements
// or into an output list that is not empty ("TkrLines.Line: ...").
class EListError : public EkrError {
public:
    using EkrError::EkrError;
};

// The file could not be read to its end while it was loaded (it shrank or
// changed meanwhile). Its message is passed on unchanged: it is about the
// file, not about a line of it.
class EReadError : public EkrError {
public:
    using EkrError::EkrError;
};
