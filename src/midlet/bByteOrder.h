// Byte-order helpers for the files a midlet carries: little-endian for the zip
// records of the JAR, big-endian for the reader's own files (book text,
// cfg.dat, fonts), which Java's DataInputStream reads; UTF-16 little-endian
// for the text files a user opens (the example configuration, a book's dump).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace paginor {

inline void PutLittleEndian16(std::string& out, uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

inline void PutLittleEndian32(std::string& out, uint32_t value) {
    PutLittleEndian16(out, static_cast<uint16_t>(value & 0xFFFF));
    PutLittleEndian16(out, static_cast<uint16_t>(value >> 16));
}

inline void PutUtf16Le(std::string& out, std::u16string_view text) {
    for (char16_t unit : text)
        PutLittleEndian16(out, unit);
}

inline void PutBigEndian16(std::string& out, uint16_t value) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value & 0xFF);
}

inline void PutBigEndian32(std::string& out, uint32_t value) {
    PutBigEndian16(out, static_cast<uint16_t>(value >> 16));
    PutBigEndian16(out, static_cast<uint16_t>(value & 0xFFFF));
}

} // namespace paginor
