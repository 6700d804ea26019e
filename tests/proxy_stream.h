// Proxy graphic streams written in tests, as the groups 92 (or 160) and 310
// of an entity.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace dxftest {

// A proxy graphic stream: commands, each a size, a kind and its data.
class TStream {
public:
    TStream& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) FData += char((v >> (8 * i)) & 0xFF);
        return *this;
    }
    TStream& D(double v) {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        for (int i = 0; i < 8; ++i) FData += char((u >> (8 * i)) & 0xFF);
        return *this;
    }
    TStream& P(double x, double y, double z = 0) { return D(x).D(y).D(z); }
    // A string with its NUL, padded to 4 bytes.
    TStream& Str(const std::string& s) {
        FData += s;
        FData += '\0';
        while (FData.size() % 4) FData += '\0';
        return *this;
    }
    // Starts a command of this kind; its size is set by the next command or
    // by the end (or forced).
    TStream& Cmd(uint32_t kind) {
        Close();
        FStart = FData.size();
        U32(0).U32(kind);
        return *this;
    }
    TStream& ForceSize(uint32_t size) {
        FForced = size;
        return *this;
    }
    // The groups 92 and 310 of the whole stream (its size and count first).
    std::string Groups(int sizeCode = 92) {
        Close();
        std::string all;
        uint32_t total = uint32_t(FData.size() + 8);
        for (int i = 0; i < 4; ++i) all += char((total >> (8 * i)) & 0xFF);
        for (int i = 0; i < 4; ++i) all += char(0);
        all += FData;
        std::string g = std::to_string(sizeCode) + "|" + std::to_string(all.size()) + "|";
        static const char* hex = "0123456789ABCDEF";
        for (size_t i = 0; i < all.size(); i += 127) {
            g += "310|";
            for (size_t j = i; j < std::min(all.size(), i + 127); ++j) {
                g += hex[(unsigned char)all[j] >> 4];
                g += hex[(unsigned char)all[j] & 15];
            }
            g += "|";
        }
        return g;
    }

private:
    std::string FData;
    size_t FStart = std::string::npos;
    uint32_t FForced = 0;
    void Close() {
        if (FStart == std::string::npos) return;
        uint32_t size = FForced ? FForced : uint32_t(FData.size() - FStart);
        for (int i = 0; i < 4; ++i) FData[FStart + i] = char((size >> (8 * i)) & 0xFF);
        FStart = std::string::npos;
        FForced = 0;
    }
};

}  // namespace dxftest
