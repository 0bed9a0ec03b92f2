#include "platform/OfficeConverter.h"

#include "core/bObject.h"
#include "core/bSignals.h"
#include "core/bVar.h"
#include "platform/RtfFields.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace paginor {

namespace {

namespace fs = std::filesystem;

constexpr const char* kPackage = "libreoffice-writer-nogui";
constexpr std::chrono::milliseconds kPollInterval{50};

constexpr const char* kFolderPrefix = "paginor-office-";
constexpr const char* kLockName = "lock";
// A folder without its lock (a crash between making the folder and locking
// it) is taken for left behind once it is this old.
constexpr auto kUnlockedFolderAge = std::chrono::hours(1);

fs::path TempBase(const fs::path& configured) {
    if (!configured.empty()) return configured;
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    return error ? fs::path("/tmp") : base;
}

// A private folder, removed with everything in it when the conversion ends.
// Its lock file is held while it is in use, so that another run can tell a
// folder in use from one an ended run left.
class TPrivateFolder {
public:
    explicit TPrivateFolder(const fs::path& base) {
        std::string pattern = (base / (std::string(kFolderPrefix) + "XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            throw TBookError("Can't create a temporary folder for LibreOffice: " +
                             SystemErrorText(errno));
        Path = pattern;
        LockFd = ::open((Path / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (LockFd >= 0) ::flock(LockFd, LOCK_EX | LOCK_NB);
    }
    ~TPrivateFolder() {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
        if (LockFd >= 0) ::close(LockFd);
    }
    TPrivateFolder(const TPrivateFolder&) = delete;
    TPrivateFolder& operator=(const TPrivateFolder&) = delete;

    fs::path Path;

private:
    int LockFd = -1;
};

// The first of the names that is an executable file on PATH.
fs::path FindOnPath(std::initializer_list<const char*> names) {
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (const char* name : names) {
        size_t start = 0;
        while (start <= folders.size()) {
            size_t end = folders.find(':', start);
            if (end == std::string::npos) end = folders.size();
            const fs::path candidate =
                fs::path(end > start ? folders.substr(start, end - start) : ".") / name;
            if (::access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate))
                return candidate;
            start = end + 1;
        }
    }
    return {};
}

// A file URL for LibreOffice's -env:UserInstallation.
std::string FileUrl(const fs::path& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : path.string()) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 15];
        }
    }
    return url;
}

// The environment of this process with HOME and TMPDIR in the private
// folder, so that LibreOffice writes nothing anywhere else.
std::vector<std::string> ChildEnvironment(const fs::path& folder) {
    std::vector<std::string> variables;
    for (char** variable = environ; variable && *variable; ++variable) {
        const std::string_view entry = *variable;
        if (entry.starts_with("HOME=") || entry.starts_with("TMPDIR=") ||
            entry.starts_with("XDG_CONFIG_HOME=") || entry.starts_with("XDG_CACHE_HOME=") ||
            entry.starts_with("XDG_DATA_HOME="))
            continue;
        variables.emplace_back(entry);
    }
    variables.push_back("HOME=" + (folder / "home").string());
    variables.push_back("TMPDIR=" + (folder / "tmp").string());
    return variables;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The last line LibreOffice printed that says something.
std::string LastLine(const fs::path& log) {
    std::string text;
    try {
        text = ReadWholeFile(log);
    } catch (const TBookError&) {
        return {};
    }
    std::string last;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = TrimControls(std::string_view(text).substr(start, end - start));
        if (!line.empty()) last = line;
        start = end + 1;
    }
    return last;
}

// A posix_spawn object, set up and destroyed by the functions given.
template <class T, auto Init, auto Destroy> struct TSpawnObject {
    T Value;
    TSpawnObject() { Init(&Value); }
    ~TSpawnObject() { Destroy(&Value); }
    TSpawnObject(const TSpawnObject&) = delete;
    TSpawnObject& operator=(const TSpawnObject&) = delete;
};
using TSpawnActions = TSpawnObject<posix_spawn_file_actions_t, posix_spawn_file_actions_init,
                                   posix_spawn_file_actions_destroy>;
using TSpawnAttributes =
    TSpawnObject<posix_spawnattr_t, posix_spawnattr_init, posix_spawnattr_destroy>;

// A small shell process that outlives this one: told LibreOffice's process
// group, it waits until this process has ended (its end of the socket
// closes). When that happens without a "done" first (this process was
// killed), it kills the group and removes the private folder.
class TWatchdog {
public:
    TWatchdog(const fs::path& folder, const TStopSignals& signals) {
        static constexpr const char* kScript =
            "while read -r line; do case $line in done) exit 0;; *) group=$line;; esac; done; "
            "[ -n \"$group\" ] && kill -KILL -- \"-$group\" 2>/dev/null; rm -rf -- \"$1\"";
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            throw TBookError("Can't start LibreOffice's watchdog: " + SystemErrorText(errno));
        Fd = ends[0];
        TSpawnActions actions;
        posix_spawn_file_actions_adddup2(&actions.Value, ends[1], STDIN_FILENO);
        posix_spawn_file_actions_addopen(&actions.Value, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions.Value, STDOUT_FILENO, STDERR_FILENO);
        TSpawnAttributes attributes;
        // A group of its own: a signal to this run's group does not reach it.
        posix_spawnattr_setflags(&attributes.Value, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
        posix_spawnattr_setpgroup(&attributes.Value, 0);
        posix_spawnattr_setsigmask(&attributes.Value, &signals.PreviousMask());
        std::vector<std::string> arguments = {"/bin/sh", "-c", kScript, "paginor-watchdog",
                                              folder.string()};
        const std::vector<char*> argv = Pointers(arguments);
        const int error =
            posix_spawn(&Pid, "/bin/sh", &actions.Value, &attributes.Value, argv.data(), environ);
        ::close(ends[1]);
        if (error != 0) {
            ::close(Fd);
            throw TBookError("Can't start LibreOffice's watchdog: " + SystemErrorText(error));
        }
    }
    ~TWatchdog() {
        Send("done");
        ::close(Fd);
        int status = 0;
        while (::waitpid(Pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;

    void Watch(pid_t group) { Send(std::to_string(group)); }

private:
    void Send(const std::string& line) {
        const std::string text = line + "\n";
        [[maybe_unused]] const ssize_t sent = ::send(Fd, text.data(), text.size(), MSG_NOSIGNAL);
    }

    int Fd = -1;
    pid_t Pid = 0;
};

// Runs the program in a process group of its own, waits for it at most
// `limit`, and then kills whatever is left of the group. Returns whether it
// ended within the limit.
bool RunWithin(const fs::path& program, std::vector<std::string> arguments, const fs::path& folder,
               const fs::path& log, std::chrono::milliseconds limit, const TStopSignals& signals) {
    std::vector<std::string> environment = ChildEnvironment(folder);
    TWatchdog watchdog(folder, signals);
    TSpawnActions actions;
    posix_spawn_file_actions_addopen(&actions.Value, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions.Value, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions.Value, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions.Value, folder.c_str());
    TSpawnAttributes attributes;
    // Its own group (a Ctrl-C meant for us does not reach it; it is stopped
    // with its group), and the signal mask we had before holding ours back.
    posix_spawnattr_setflags(&attributes.Value, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes.Value, 0);
    posix_spawnattr_setsigmask(&attributes.Value, &signals.PreviousMask());

    const std::vector<char*> argv = Pointers(arguments);
    const std::vector<char*> envp = Pointers(environment);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), &actions.Value, &attributes.Value,
                                  argv.data(), envp.data());
    if (error != 0)
        throw TBookError("Can't start LibreOffice (" + program.string() +
                         "): " + SystemErrorText(error));
    watchdog.Watch(pid);

    // The leader is only looked at, not reaped, until the group is killed:
    // while it is not reaped its number cannot pass to another process.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool ended = false;
    while (!ended) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid) {
            ended = true;
        } else if (std::chrono::steady_clock::now() >= deadline || signals.Pending()) {
            break;
        } else {
            std::this_thread::sleep_for(kPollInterval);
        }
    }
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return ended;
}

std::string SecondsText(std::chrono::milliseconds time) {
    const auto milliseconds = time.count();
    if (milliseconds == 1000) return "1 second";
    if (milliseconds % 1000 == 0) return std::to_string(milliseconds / 1000) + " seconds";
    return std::to_string(milliseconds) + " milliseconds";
}

} // namespace

std::chrono::milliseconds OfficeTimeLimit() {
    constexpr std::chrono::seconds kDefault{600};
    const char* value = std::getenv(kOfficeTimeLimitVariable);
    if (!value || !*value) return kDefault;
    char* end = nullptr;
    const long seconds = std::strtol(value, &end, 10);
    if (*end != '\0' || seconds <= 0 || seconds > 24 * 3600) return kDefault;
    return std::chrono::seconds(seconds);
}

void RemoveStaleOfficeFolders(const fs::path& tempFolder) {
    std::error_code ec;
    for (fs::directory_iterator it(TempBase(tempFolder), ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path folder = it->path();
        std::error_code typeError;
        if (!folder.filename().string().starts_with(kFolderPrefix) || it->is_symlink(typeError) ||
            !it->is_directory(typeError))
            continue;
        struct stat info {};
        if (::lstat(folder.c_str(), &info) != 0 || info.st_uid != ::geteuid()) continue;
        bool stale = false;
        const int fd = ::open((folder / kLockName).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            stale = ::flock(fd, LOCK_EX | LOCK_NB) == 0; // no run holds it
            ::close(fd);
        } else {
            const auto age = std::chrono::system_clock::now() -
                             std::chrono::system_clock::from_time_t(info.st_mtime);
            stale = age > kUnlockedFolderAge;
        }
        if (stale) fs::remove_all(folder, typeError);
    }
}

TOfficeResult ConvertToDocx(const fs::path& source, const TOfficeConversion& conversion) {
    fs::path program = conversion.Program;
    if (program.empty()) program = FindOnPath({"soffice", "libreoffice"});
    if (program.empty() || ::access(program.c_str(), X_OK) != 0)
        throw TBookError("LibreOffice is needed to read " + source.string() +
                         " and is not installed: install the Debian package " + kPackage);

    TOfficeResult result;
    std::string bytes;
    try {
        bytes = ReadWholeFile(source);
    } catch (const TBookError& error) {
        throw TBookError("Can't read " + source.string() + ": " + error.what());
    }
    // LibreOffice would open anything, a web page among them, whose pictures
    // it fetches from the machine; it gets only the formats it is used for.
    static constexpr std::string_view kOle = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    if (IsRtf(bytes))
        bytes = WithoutOutsideFields(bytes, result.RemovedFields);
    else if (!bytes.starts_with(kOle) && !bytes.starts_with("PK\x03\x04"))
        throw TBookError("Can't read " + source.string() +
                         ": it is not a Word, RTF or OpenDocument file");
    // A stop signal (Ctrl-C) ends the conversion and takes effect once the
    // private folder is removed: neither LibreOffice nor its folder stays.
    const TStopSignals signals;
    const TPrivateFolder folder(TempBase(conversion.TempFolder));
    for (const char* name : {"home", "tmp", "out"})
        fs::create_directory(folder.Path / name);
    // A copy under a plain name: a name starting with "-" or holding a comma
    // means nothing to LibreOffice, and its lock file goes beside the copy.
    const std::string extension = ToUtf8(LowerCase(FromPath(source.extension())));
    const fs::path copy = folder.Path / ("document" + extension);
    WriteWholeFile(copy, bytes);

    const fs::path log = folder.Path / "log.txt";
    const bool ended =
        RunWithin(program,
                  {program.string(), "-env:UserInstallation=" + FileUrl(folder.Path / "profile"),
                   "--headless", "--invisible", "--norestore", "--nolockcheck", "--convert-to",
                   "docx", "--outdir", (folder.Path / "out").string(), copy.string()},
                  folder.Path, log, conversion.TimeLimit, signals);
    if (signals.Pending()) throw TBookError("LibreOffice was stopped: the run was interrupted");
    if (!ended)
        throw TBookError("LibreOffice did not finish converting " + source.string() + " within " +
                         SecondsText(conversion.TimeLimit));
    const fs::path docx = folder.Path / "out" / "document.docx";
    std::error_code error;
    if (!fs::is_regular_file(docx, error)) {
        const std::string reason = LastLine(log);
        throw TBookError("LibreOffice could not convert " + source.string() +
                         (reason.empty() ? "" : ": " + reason));
    }
    result.Docx = ReadWholeFile(docx);
    return result;
}

} // namespace paginor
