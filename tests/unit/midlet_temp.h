// Test helpers for the midlet writer tests: a private temporary folder that
// is removed with everything in it, and whole-file reads and writes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace paginor::test {

class TTempFolder {
public:
    explicit TTempFolder(
        const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
        std::string pattern = (base / "paginor-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        Path = pattern;
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::permissions(Path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(Path, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    std::filesystem::path Path;
};

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A valid PNG of one grey pixel.
inline std::string OnePixelPng() {
    return std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x01\0\0\0\x01\x08\0\0\0\0\x3A\x7E"
                       "\x9B\x55\0\0\0\x0AIDAT\x78\x9C\x63\x68\0\0\0\x82\0\x81\x77\xCD\x72\xB6"
                       "\0\0\0\0IEND\xAE\x42\x60\x82",
                       67);
}

// The Python interpreter for read-back checks: the system one when present
// (a version-manager shim on PATH can take seconds to start).
inline std::string Python() {
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

// Runs a shell command; returns its exit status and fills `output` with what
// it printed on standard output.
inline int RunCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace paginor::test
