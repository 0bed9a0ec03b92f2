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
