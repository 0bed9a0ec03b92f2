// Shared by the fuzz targets: each defines LLVMFuzzerTestOneInput, which
// libFuzzer drives under clang and replay_main.cpp drives under g++.
#pragma once

#include <cstddef>
#include <cstdint>
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

} // namespace paginor::fuzz
