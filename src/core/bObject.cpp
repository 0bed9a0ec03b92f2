#include "core/bObject.h"

#include "core/bVar.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iconv.h>
#include <iostream>
#include <memory>
#include <uchardet/uchardet.h>

namespace paginor {

namespace {

int g_logThreshold = 0;

// The characters windows-1252 puts at 0x80..0x9F; the five undefined codes
// map to themselves so that no byte is ever lost.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::u16string DecodeWindows1252(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (unsigned char b : bytes)
        out += (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : static_cast<char16_t>(b);
    return out;
}

// Strict UTF-8: no overlong forms, no encoded surrogates, nothing above
// U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        int extra;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            if (b == 0xE0) low = 0xA0;
            if (b == 0xED) high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            if (b == 0xF0) low = 0x90;
            if (b == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (bytes.size() - i <= static_cast<size_t>(extra)) return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char c = static_cast<unsigned char>(bytes[i + k]);
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return false;
        }
        i += extra + 1;
    }
    return true;
}

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};

// Converts with iconv into UTF-16LE; returns false when the charset is unknown
// or the bytes are not valid in it.
bool DecodeWithIconv(std::string_view bytes, const char* charset, std::u16string& out) {
    iconv_t raw = iconv_open("UTF-16LE", charset);
    if (raw == reinterpret_cast<iconv_t>(-1)) return false;
    std::unique_ptr<void, IconvCloser> cd(raw);
    std::string in(bytes);
    std::string buffer(in.size() * 4 + 4, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    if (iconv(raw, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return false;
    size_t produced = (buffer.size() - outLeft) / 2;
    out.resize(produced);
    for (size_t i = 0; i < produced; ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(buffer[2 * i]) |
                                       (static_cast<unsigned char>(buffer[2 * i + 1]) << 8));
    return true;
}

struct UchardetDeleter {
    void operator()(uchardet_t detector) const { uchardet_delete(detector); }
};

// Lower-case Russian prose is the same bytes in windows-1251 and Mac
// Cyrillic, and uchardet often names the rare Mac code page for it, which
// turns every capital and every "я" into a symbol. The reading with more
// letters of the basic Cyrillic alphabet wins; windows-1251 on a tie.
void PreferWindows1251(std::string_view bytes, std::u16string& text) {
    std::u16string windows;
    if (!DecodeWithIconv(bytes, "WINDOWS-1251", windows)) return;
    auto letters = [](const std::u16string& candidate) {
        return std::count_if(candidate.begin(), candidate.end(),
                             [](char16_t c) { return c >= u'\u0410' && c <= u'\u044F'; });
    };
    if (letters(windows) >= letters(text)) text = std::move(windows);
}

// Text of a single-byte (legacy) file: UTF-8 when it is valid UTF-8, otherwise
// the code page uchardet names, otherwise windows-1252.
std::u16string DecodeSingleByteText(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return FromUtf8(bytes);
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, UchardetDeleter> detector(uchardet_new());
    std::u16string out;
    if (detector && uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) == 0) {
        uchardet_data_end(detector.get());
        const char* charset = uchardet_get_charset(detector.get());
        if (charset && *charset && DecodeWithIconv(bytes, charset, out)) {
            if (std::string_view(charset) == "MAC-CYRILLIC") PreferWindows1251(bytes, out);
            return out;
        }
    }
    return DecodeWindows1252(bytes);
}

// The tolerant UTF-8 decoder of files with a UTF-8 mark: it never fails and
// never inserts a replacement character (see README, "Text files").
std::u16string DecodeMarkedUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    uint32_t accumulator = 0;
    int pending = 0; // continuation bytes still expected; none after a stray one
    for (unsigned char b : bytes) {
        if (b < 0x80) {
            // The pending sequence is not interrupted: its continuation bytes
            // may still follow.
            out += static_cast<char16_t>(b);
        } else if (b < 0xC0) {
            // A continuation byte with nothing pending is dropped, as is every
            // one after it until the next lead byte.
            if (pending <= 0) continue;
            accumulator = (accumulator << 6) | (b & 0x3F);
            if (--pending == 0) out += static_cast<char16_t>(accumulator & 0xFFFF);
        } else {
            // A lead byte: the 1 bits after the top bit give the number of
            // continuation bytes (at most 6); any pending sequence is dropped.
            int count = 0;
            for (int bit = 6; bit >= 1 && ((b >> bit) & 1); --bit)
                ++count;
            pending = count;
            accumulator = b >= 0xFE ? 1 : (b & (0xFF >> (count + 1)));
        }
    }
    return out;
}

} // namespace

void SetLogThreshold(int threshold) {
    g_logThreshold = threshold;
}
int LogThreshold() {
    return g_logThreshold;
}

void TBookObject::Log(int level, const std::string& message) const {
    if (level > g_logThreshold) return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    std::cout << stamp << "  " << message << '\n' << std::flush;
}

std::u16string TBookObject::LoadTextFile(const std::u16string& fileName) const {
    Log(6, ".. Loading text file " + ToUtf8(fileName));
    const std::string bytes = ReadWholeFile(ToPath(fileName));
    const size_t size = bytes.size();
    auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const std::string sizeText = std::to_string(size);

    if (size >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) {
        Log(6, ".. Format: UTF8, file size " + sizeText);
        return DecodeMarkedUtf8(std::string_view(bytes).substr(3));
    }
    const bool even = size % 2 == 0;
    const bool littleEndian = even && size >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE;
    const bool bigEndian = even && size >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF;
    if (littleEndian || bigEndian) {
        Log(6, std::string(littleEndian ? ".. Format: Unicode, file size "
                                        : ".. Format: Unicode BE, file size ") +
                   sizeText);
        std::u16string out(size / 2 - 1, u'\0');
        const int high = bigEndian ? 0 : 1;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<char16_t>((byteAt(2 + 2 * i + high) << 8) |
                                           byteAt(2 + 2 * i + (1 - high)));
        return out;
    }
    Log(6, ".. Format: single byte characters, file size " + sizeText);
    return DecodeSingleByteText(bytes);
}

std::u16string DecodeUndeclaredText(std::string_view bytes) {
    return DecodeSingleByteText(bytes);
}

std::optional<std::u16string> DecodeCharsetText(std::string_view bytes,
                                                const std::string& charset) {
    std::u16string out;
    if (!DecodeWithIconv(bytes, charset.c_str(), out)) return std::nullopt;
    return out;
}

} // namespace paginor
