// The root of this system's own errors. Every exception the conversion
// raises on purpose (the model's EkrError, the writer's EkrExportError, the
// plan mismatch, a stroke font that cannot be read, a run's end) derives from
// it and carries its message; only the standard library's own errors
// (std::bad_alloc and the like) stand outside.
#pragma once

#include <exception>
#include <string>

class EPlandropError : public std::exception {
public:
    explicit EPlandropError(std::string msg) : Message(std::move(msg)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};
