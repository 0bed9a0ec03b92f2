// Small file helpers for unit tests: a private temporary folder that is
// removed with everything in it, and whole-file byte I/O.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <stdexcept>
#include <string>

namespace paginor::testing {

class TTempDir {
public:
    TTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "paginor-test-XXXXXX");
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        Path = pattern;
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return Path / name; }

    std::filesystem::path Path;
};

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// UTF-16 text as bytes, with the byte-order mark of the chosen order.
inline std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// UTF-8 text re-encoded with iconv in another charset.
inline std::string EncodeText(const std::string& utf8, const char* charset) {
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("unknown charset");
    std::string in = utf8;
    std::string out(in.size() * 4 + 8, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1)) throw std::runtime_error("iconv failed");
    out.resize(out.size() - outLeft);
    return out;
}

// The message of the exception the body raises, or "no error".
template <typename Body> std::string ErrorOf(Body body) {
    try {
        body();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no error";
}

} // namespace paginor::testing
