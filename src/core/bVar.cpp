#include "core/bVar.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cwctype>
#include <locale.h>
#include <string_view>
#include <type_traits>

namespace paginor {

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

// A C.UTF-8 locale object for the wide-character case functions; created once
// and never changed, so it is not process state in any meaningful sense.
locale_t Utf8Locale() {
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

// The text without the characters of code 32 or lower at its ends (bytes
// compared unsigned).
template <typename Char> std::basic_string_view<Char> Trimmed(std::basic_string_view<Char> text) {
    using Unit = std::make_unsigned_t<Char>;
    size_t b = 0, e = text.size();
    while (b < e && static_cast<Unit>(text[b]) <= 32)
        ++b;
    while (e > b && static_cast<Unit>(text[e - 1]) <= 32)
        --e;
    return text.substr(b, e - b);
}

} // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        if (extra == 0) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        bool ok = extra > 0 && i + extra < text.size();
        char32_t cp = ok ? (b & (0x3F >> extra)) : 0;
        for (int k = 1; ok && k <= extra; ++k) {
            unsigned char c = static_cast<unsigned char>(text[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        AppendUtf16(out, cp);
        i += extra + 1;
    }
    return out;
}

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

std::u16string Widen(std::string_view ascii) {
    std::u16string out;
    out.reserve(ascii.size());
    for (char c : ascii)
        out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

std::filesystem::path ToPath(std::u16string_view name) {
    return std::filesystem::path(ToUtf8(name));
}

std::u16string FromPath(const std::filesystem::path& path) {
    return FromUtf8(path.native());
}

char16_t LowerChar(char16_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    locale_t locale = Utf8Locale();
    if (locale == static_cast<locale_t>(0)) return c; // no C.UTF-8: only ASCII folds
    wint_t lower = towlower_l(static_cast<wint_t>(c), locale);
    return lower <= 0xFFFF ? static_cast<char16_t>(lower) : c;
}

std::u16string LowerCase(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out)
        c = LowerChar(c);
    return out;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return lower;
}

std::u16string_view TrimControlsView(std::u16string_view text) {
    return Trimmed(text);
}

std::u16string TrimControls(std::u16string_view text) {
    return std::u16string(Trimmed(text));
}

std::string TrimControls(std::string_view text) {
    return std::string(Trimmed(text));
}

std::string WithoutInvisibleMarks(std::string_view text) {
    constexpr std::string_view kMarks[] = {"\xC2\xAD", "\xE2\x80\x8B", "\xE2\x81\xA0",
                                           "\xEF\xBB\xBF"};
    std::string kept;
    kept.reserve(text.size());
    while (!text.empty()) {
        // Every mark begins with one of these lead bytes.
        const size_t lead = text.find_first_of("\xC2\xE2\xEF");
        kept += text.substr(0, lead);
        if (lead == std::string_view::npos) break;
        text.remove_prefix(lead);
        size_t skip = 0;
        for (const std::string_view mark : kMarks)
            if (text.starts_with(mark)) skip = mark.size();
        if (skip == 0) kept += text.front();
        text.remove_prefix(std::max<size_t>(skip, 1));
    }
    return kept;
}

std::string CollapseBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) <= ' ') {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string DecodePercentEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string EncodePercentEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved)
            out += c;
        else
            out += "%" + IntToHex(static_cast<unsigned char>(c), 2);
    }
    return out;
}

bool HasUriScheme(std::string_view reference) {
    const size_t colon = reference.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    for (size_t i = 0; i < colon; ++i) {
        const char c = reference[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && (i == 0 || !other)) return false;
    }
    return true;
}

std::u16string IntToStr(long long value) {
    return Widen(std::to_string(value));
}

std::string IntToHex(uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

} // namespace paginor

#include "core/bObject.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace paginor {

std::string SystemErrorText(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "File not found";
    case EACCES:
    case EPERM:
        return "File access denied";
    case EISDIR:
        return "Is a directory";
    case ENOSPC:
        return "Disk full";
    default:
        return std::strerror(error);
    }
}

void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        throw TBookError("Can't create file " + path.string() + ": " + SystemErrorText(errno));
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0)
            throw TBookError("Can't write file " + path.string() + ": " + SystemErrorText(errno));
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    // O_NONBLOCK keeps a named pipe from blocking the open; only regular
    // files are read, so a device such as /dev/zero cannot fill the memory.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw TBookError(SystemErrorText(errno));
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) throw TBookError(SystemErrorText(errno));
    if (S_ISDIR(info.st_mode)) throw TBookError(SystemErrorText(EISDIR));
    if (!S_ISREG(info.st_mode)) throw TBookError("Not a regular file");
    std::string bytes;
    bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw TBookError(SystemErrorText(errno));
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
}

int64_t BookTime(const std::filesystem::path& source) {
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        const std::string_view text(epoch);
        const bool digits =
            !text.empty() && text.size() <= 18 &&
            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits)
            throw TBookError("SOURCE_DATE_EPOCH [" + std::string(text) +
                             "] is not a count of seconds since 1970");
        return std::stoll(std::string(text));
    }
    struct stat info {};
    if (::stat(source.c_str(), &info) == 0) return info.st_mtime;
    return std::time(nullptr);
}

} // namespace paginor
