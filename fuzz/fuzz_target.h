// Shared by the fuzz targets: each defines LLVMFuzzerTestOneInput, which
// libFuzzer drives under clang and replay_main.cpp drives under g++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace paginor::fuzz {

// The input written to a file private to this process, for the code that
// reads files by name.
inline std::filesystem::path WriteInput(const uint8_t* data, size_t size, const char* suffix) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("paginor-fuzz-" + std::to_string(::getpid()) + suffix);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

// Aborts unless the tagged text an importer made of a document keeps to what
// a document may give: no link of kind "image" or "file" (a document's
// address never reads a file of the machine) and no picture tag naming a
// file outside the picture folder.
inline void CheckDocumentTags(std::string_view text, const std::filesystem::path& pictures) {
    auto trimmed = [](std::string_view s) {
        while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
            s.remove_prefix(1);
        while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
            s.remove_suffix(1);
        return s;
    };
    auto lower = [](std::string_view s) {
        std::string out(s);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return out;
    };
    size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        size_t end = at + 1;
        bool bracket = false;
        while (end < text.size() && text[end] != '<' && (bracket || text[end] != '>')) {
            if (text[end] == '[') bracket = true;
            if (text[end] == ']') bracket = false;
            ++end;
        }
        if (end >= text.size()) return;
        const std::string content = lower(trimmed(text.substr(at + 1, end - at - 1)));
        at = end;
        const size_t blank = content.find(' ');
        const std::string name = content.substr(0, blank);
        const std::string_view argument =
            blank == std::string::npos ? std::string_view(content)
                                       : trimmed(std::string_view(content).substr(blank + 1));
        if (name == "#link") {
            const std::string kind(argument.substr(0, argument.find(' ')));
            if (kind == "image" || kind == "file") std::abort();
        } else if (name == "#image") {
            std::string_view file = argument;
            if (file.starts_with('[')) file = trimmed(file.substr(file.find(']') + 1));
            if (std::filesystem::path(std::string(file)).parent_path() != lower(pictures.string()))
                std::abort();
        }
    }
}

// Runs an importer on the input, written to a file with the suffix, with a
// picture folder of its own: it may fail only with a one-line message, and
// may write only plain files directly inside that folder. `import` gets the
// input file and the folder.
template <typename Import>
void CheckImport(const uint8_t* data, size_t size, const char* suffix, Import import) {
    namespace fs = std::filesystem;
    const auto path = WriteInput(data, size, suffix);
    const fs::path pictures = path.parent_path() / (path.filename().string() + ".pictures");
    fs::remove_all(pictures);
    fs::create_directory(pictures);
    try {
        import(path, pictures);
    } catch (const std::exception& error) {
        if (std::string(error.what()).find('\n') != std::string::npos) std::abort();
    }
    for (const auto& entry : fs::recursive_directory_iterator(pictures))
        if (entry.path().parent_path() != pictures || !entry.is_regular_file()) std::abort();
    fs::remove_all(pictures);
    fs::remove(path);
}

} // namespace paginor::fuzz
