#include "core/bObject.h"

#include "core/bVar.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iconv.h>
#include <iostream>
#include <memory>
#include <optional>
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

// An iconv conversion from one charset into UTF-16 little-endian.
class TIconv {
public:
    explicit TIconv(const char* charset) : Cd(iconv_open("UTF-16LE", charset)) {}
    ~TIconv() {
        if (IsOpen()) iconv_close(Cd);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    bool IsOpen() const { return Cd != reinterpret_cast<iconv_t>(-1); }
    // Converts as much as fits; returns false and leaves errno on a failure.
    bool Convert(const char** in, size_t* inLeft, char** out, size_t* outLeft) {
        return iconv(Cd, const_cast<char**>(in), inLeft, out, outLeft) != static_cast<size_t>(-1);
    }
    void Reset() { iconv(Cd, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t Cd;
};

// A byte's character in a single-byte code page, or kNoCharacter where the
// code page defines none.
constexpr uint32_t kNoCharacter = 0xFFFFFFFF;
using TCodePage = std::array<uint32_t, 256>;

char16_t LittleEndianUnit(const char* bytes) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[0]) |
                                 (static_cast<unsigned char>(bytes[1]) << 8));
}

// The table of a charset in which every byte stands for one character (or
// for none); nothing for a charset with sequences of several bytes or with
// shift states, which is converted as a stream.
std::optional<TCodePage> SingleByteTable(TIconv& cd) {
    TCodePage table{};
    for (int byte = 0; byte < 256; ++byte) {
        cd.Reset();
        const char in = static_cast<char>(byte);
        const char* inPtr = &in;
        size_t inLeft = 1;
        char out[8];
        char* outPtr = out;
        size_t outLeft = sizeof out;
        if (!cd.Convert(&inPtr, &inLeft, &outPtr, &outLeft)) {
            if (errno != EILSEQ) return std::nullopt; // the start of a longer sequence
            table[byte] = kNoCharacter;
            continue;
        }
        if (sizeof out - outLeft != 2) return std::nullopt; // no character, or a pair
        table[byte] = LittleEndianUnit(out);
    }
    return table;
}

// One pass over the bytes through the table; false when a byte has no
// character in the code page.
bool DecodeWithTable(const TCodePage& table, std::string_view bytes, std::u16string& out) {
    out.resize(bytes.size());
    char16_t* units = out.data();
    uint32_t seen = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint32_t c = table[static_cast<unsigned char>(bytes[i])];
        seen |= c;
        units[i] = static_cast<char16_t>(c);
    }
    return seen <= 0xFFFF;
}

// Converts the bytes with iconv straight into the text, which never needs
// more UTF-16 units than the legacy charset has bytes (it grows if it does).
bool DecodeStream(TIconv& cd, std::string_view bytes, std::u16string& out) {
    cd.Reset();
    out.resize(bytes.size() + 2);
    const char* in = bytes.data();
    size_t inLeft = bytes.size();
    size_t written = 0; // bytes of output
    for (;;) {
        char* outPtr = reinterpret_cast<char*>(out.data()) + written;
        size_t outLeft = out.size() * 2 - written;
        const bool done = inLeft == 0 ? cd.Convert(nullptr, nullptr, &outPtr, &outLeft)
                                      : cd.Convert(&in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        written = out.size() * 2 - outLeft;
        if (done && inLeft == 0) break;
        if (!done && error != E2BIG) return false; // invalid or cut short
        if (!done) out.resize(out.size() * 2);
    }
    out.resize(written / 2);
    if constexpr (std::endian::native == std::endian::big)
        for (char16_t& unit : out)
            unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
    return true;
}

// Converts the bytes from the charset; false when the charset is unknown or
// the bytes are not valid in it. A single-byte code page goes through a table
// in one pass over the bytes; other charsets through iconv, without copies.
bool DecodeWithIconv(std::string_view bytes, const char* charset, std::u16string& out) {
    TIconv cd(charset);
    if (!cd.IsOpen()) return false;
    if (const auto table = SingleByteTable(cd)) return DecodeWithTable(*table, bytes, out);
    return DecodeStream(cd, bytes, out);
}

struct UchardetDeleter {
    void operator()(uchardet_t detector) const { uchardet_delete(detector); }
};

// uchardet reads a sample of a large text: this many slices of this size,
// spread evenly over it (it needs far less; reading 200 MB took a minute).
constexpr size_t kDetectionSlice = 64 << 10;
constexpr size_t kDetectionSlices = 16;

// The charset uchardet names for the text; "" when it names none.
std::string DetectCharset(std::string_view bytes) {
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, UchardetDeleter> detector(uchardet_new());
    if (!detector) return {};
    auto feed = [&](std::string_view part) {
        return uchardet_handle_data(detector.get(), part.data(), part.size()) == 0;
    };
    bool fed = true;
    if (bytes.size() <= kDetectionSlice * kDetectionSlices) {
        fed = feed(bytes);
    } else {
        const size_t last = bytes.size() - kDetectionSlice;
        for (size_t k = 0; fed && k < kDetectionSlices; ++k)
            fed = feed(bytes.substr(last * k / (kDetectionSlices - 1), kDetectionSlice));
    }
    if (!fed) return {};
    uchardet_data_end(detector.get());
    const char* charset = uchardet_get_charset(detector.get());
    return charset ? charset : "";
}

// Lower-case Russian prose is the same bytes in windows-1251 and Mac
// Cyrillic, and uchardet often names the rare Mac code page for it, which
// turns every capital and every "я" into a symbol. The reading with more
// letters of the basic Cyrillic alphabet wins; windows-1251 on a tie. The
// letters are counted from how often each byte occurs.
std::string PreferWindows1251(std::string_view bytes) {
    const char* kWindows = "WINDOWS-1251";
    const char* kMac = "MAC-CYRILLIC";
    TIconv windows(kWindows), mac(kMac);
    const auto windowsTable = windows.IsOpen() ? SingleByteTable(windows) : std::nullopt;
    const auto macTable = mac.IsOpen() ? SingleByteTable(mac) : std::nullopt;
    if (!windowsTable || !macTable) return kMac;
    std::array<uint64_t, 256> counts{};
    for (unsigned char b : bytes)
        ++counts[b];
    auto letters = [&](const TCodePage& table) {
        uint64_t total = 0;
        for (int b = 0; b < 256; ++b)
            if (table[b] >= u'\u0410' && table[b] <= u'\u044F') total += counts[b];
        return total;
    };
    for (int b = 0; b < 256; ++b)
        if (counts[b] && (*windowsTable)[b] == kNoCharacter) return kMac; // not windows-1251
    return letters(*windowsTable) >= letters(*macTable) ? kWindows : kMac;
}

// Text of a single-byte (legacy) file: UTF-8 when it is valid UTF-8, otherwise
// the code page uchardet names, otherwise windows-1252.
std::u16string DecodeSingleByteText(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return FromUtf8(bytes);
    std::string charset = DetectCharset(bytes);
    if (charset == "MAC-CYRILLIC") charset = PreferWindows1251(bytes);
    std::u16string out;
    if (!charset.empty() && DecodeWithIconv(bytes, charset.c_str(), out)) return out;
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

std::u16string TBookObject::LoadTextFile(const std::u16string& fileName, bool quiet) const {
    auto note = [&](const std::string& message) {
        if (!quiet) Log(6, message);
    };
    note(".. Loading text file " + ToUtf8(fileName));
    const std::string bytes = ReadWholeFile(ToPath(fileName));
    const size_t size = bytes.size();
    auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const std::string sizeText = std::to_string(size);

    if (size >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) {
        note(".. Format: UTF8, file size " + sizeText);
        return DecodeMarkedUtf8(std::string_view(bytes).substr(3));
    }
    const bool even = size % 2 == 0;
    const bool littleEndian = even && size >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE;
    const bool bigEndian = even && size >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF;
    if (littleEndian || bigEndian) {
        note(std::string(littleEndian ? ".. Format: Unicode, file size "
                                      : ".. Format: Unicode BE, file size ") +
             sizeText);
        std::u16string out(size / 2 - 1, u'\0');
        const int high = bigEndian ? 0 : 1;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<char16_t>((byteAt(2 + 2 * i + high) << 8) |
                                           byteAt(2 + 2 * i + (1 - high)));
        return out;
    }
    note(".. Format: single byte characters, file size " + sizeText);
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
