#include "midlet/bOutputFile.h"

#include "core/bObject.h"
#include "core/bVar.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <unistd.h>

namespace paginor {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTemporaryPrefix = ".paginor-";
constexpr const char* kTemporarySuffix = ".part";
constexpr int kTemporaryAttempts = 100;

[[noreturn]] void FailWithErrno(const std::string& what, int error) {
    throw TBookError(what + " (" + SystemErrorText(error) + ")");
}

// Holds an exclusive lock on an open file or folder until it goes.
class TExclusiveLock {
public:
    TExclusiveLock(int fd, const fs::path& path) : Fd(fd) {
        while (::flock(Fd, LOCK_EX) != 0)
            if (errno != EINTR) FailWithErrno("Can't lock folder " + path.string(), errno);
    }
    ~TExclusiveLock() { ::flock(Fd, LOCK_UN); }
    TExclusiveLock(const TExclusiveLock&) = delete;
    TExclusiveLock& operator=(const TExclusiveLock&) = delete;

private:
    int Fd;
};

// One file put in place: where it came from, where it went, and the previous
// file of that name, kept under a temporary name until every file is in
// place (empty when there was none or it could not be kept).
struct TPlacedFile {
    fs::path Temporary;
    fs::path Final;
    fs::path Previous;
};

} // namespace

TOutputFile::TOutputFile(const fs::path& path) : Path(path) {
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

void TOutputFile::Close(bool durable) {
    if (!File) return;
    std::FILE* file = File.release();
    bool written = std::fflush(file) == 0;
    int error = errno;
    if (written && durable && ::fsync(fileno(file)) != 0) {
        written = false;
        error = errno;
    }
    const bool closed = std::fclose(file) == 0;
    if (!written) errno = error;
    if (!written || !closed) Fail("write");
}

TOutputFolder::TOutputFolder(const fs::path& folder) : Folder(folder) {
    Fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0) FailWithErrno("Can't open folder " + folder.string(), errno);
}

TOutputFolder::~TOutputFolder() {
    for (const fs::path& temporary : Temporaries)
        ::unlink(temporary.c_str());
    ::close(Fd);
}

fs::path TOutputFolder::TemporaryFile(const std::string& finalName) {
    const std::string extension = fs::path(finalName).extension().string();
    std::random_device random;
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        const fs::path path = Folder / (kTemporaryPrefix + std::to_string(::getpid()) + "-" +
                                        IntToHex(random(), 8) + extension + kTemporarySuffix);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            Temporaries.push_back(path);
            return path;
        }
        if (errno != EEXIST)
            FailWithErrno("Can't create file " + (Folder / finalName).string(), errno);
    }
    throw TBookError("Can't find a free temporary name in folder " + Folder.string());
}

void TOutputFolder::Replace(const std::vector<std::pair<fs::path, std::string>>& files) {
    TExclusiveLock lock(Fd, Folder);
    std::vector<TPlacedFile> placed;
    // Puts back what the renames so far replaced, newest first.
    auto undo = [&] {
        for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
            if (it->Previous.empty())
                ::unlink(it->Final.c_str());
            else
                ::rename(it->Previous.c_str(), it->Final.c_str());
        }
    };
    for (const auto& [temporary, name] : files) {
        TPlacedFile file{temporary, Folder / name, {}};
        // The previous file stays reachable under a temporary name (a hard
        // link; a file system without them just cannot undo).
        const fs::path previous = TemporaryFile(name);
        ::unlink(previous.c_str());
        if (::link(file.Final.c_str(), previous.c_str()) == 0) file.Previous = previous;
        if (::rename(temporary.c_str(), file.Final.c_str()) != 0) {
            const int error = errno;
            undo();
            FailWithErrno("Can't put file " + file.Final.string() + " in place", error);
        }
        placed.push_back(file);
    }
    if (::fsync(Fd) != 0 && errno != EINVAL) {
        const int error = errno;
        undo();
        FailWithErrno("Can't write folder " + Folder.string(), error);
    }
    // Every file is in place: the temporary names (the renamed files and the
    // kept previous ones) are gone or go now.
    for (const TPlacedFile& file : placed)
        if (!file.Previous.empty()) ::unlink(file.Previous.c_str());
}

} // namespace paginor
