// Pictures for benchmarks: PNG files made in memory.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

namespace paginor::bench {

// A true-colour PNG of width x height with a colour gradient; `seed` shifts
// its colours, so that pictures made with other seeds differ.
inline std::string GradientPng(int width, int height, int seed) {
    auto chunk = [](const std::string& kind, const std::string& data) {
        std::string out;
        for (uint32_t v : {static_cast<uint32_t>(data.size())})
            for (int shift = 24; shift >= 0; shift -= 8)
                out += static_cast<char>(v >> shift);
        const std::string body = kind + data;
        out += body;
        const uint32_t crc =
            crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
        for (int shift = 24; shift >= 0; shift -= 8)
            out += static_cast<char>(crc >> shift);
        return out;
    };
    auto be32 = [](uint32_t v) {
        std::string out;
        for (int shift = 24; shift >= 0; shift -= 8)
            out += static_cast<char>(v >> shift);
        return out;
    };
    std::string rows;
    for (int y = 0; y < height; ++y) {
        rows += '\0';
        for (int x = 0; x < width; ++x) {
            rows += static_cast<char>(x + seed * 40);
            rows += static_cast<char>(y * 2);
            rows += static_cast<char>(x + y + seed);
        }
    }
    uLongf size = compressBound(static_cast<uLong>(rows.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()));
    packed.resize(size);
    return std::string("\x89PNG\r\n\x1a\n", 8) +
           chunk("IHDR", be32(width) + be32(height) + std::string("\x08\x02\x00\x00\x00", 5)) +
           chunk("IDAT", packed) + chunk("IEND", "");
}

} // namespace paginor::bench
