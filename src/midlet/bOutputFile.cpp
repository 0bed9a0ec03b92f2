#include "midlet/bOutputFile.h"

#include "core/bObject.h"
#include "core/bVar.h"

#include <cerrno>

namespace paginor {

TOutputFile::TOutputFile(const std::filesystem::path& path) : Path(path) {
    File.reset(std::fopen(path.c_str(), "wb"));
    if (!File) Fail("create");
}

void TOutputFile::Fail(const char* what) const {
    throw TBookError("Can't " + std::string(what) + " file " + Path.string() + " (" +
                     SystemErrorText(errno) + ")");
}

void TOutputFile::Write(std::string_view bytes) {
    if (!File) Fail("write");
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), File.get()) != bytes.size())
        Fail("write");
    Size += bytes.size();
}

void TOutputFile::WriteAt(uint64_t offset, std::string_view bytes) {
    if (!File) Fail("write");
    if (::fseeko(File.get(), static_cast<off_t>(offset), SEEK_SET) != 0) Fail("write");
    if (std::fwrite(bytes.data(), 1, bytes.size(), File.get()) != bytes.size()) Fail("write");
    if (::fseeko(File.get(), 0, SEEK_END) != 0) Fail("write");
}

void TOutputFile::Close() {
    if (!File) return;
    std::FILE* file = File.release();
    const bool flushed = std::fflush(file) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!flushed) errno = flushError;
    if (!flushed || !closed) Fail("write");
}

} // namespace paginor
