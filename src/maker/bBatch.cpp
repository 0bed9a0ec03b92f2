#include "maker/bBatch.h"

#include "core/bVar.h"
#include "maker/bMaker.h"
#include "maker/bSources.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <poll.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace paginor {

namespace {

namespace fs = std::filesystem;

// The options of the form, in the order --help lists them. An option is
// added here and nowhere else: the parser and the help text both read it.
struct TOptionSpec {
    const char* Name;
    const char* Value; // nullptr: the option takes none
    const char* Help;
    void (*Apply)(TBatchOptions& options, const std::string& value);
};

unsigned ParseJobs(const std::string& value) {
    unsigned jobs = 0;
    for (char c : value) {
        if (c < '0' || c > '9' || jobs > 9999) {
            jobs = 0;
            break;
        }
        jobs = jobs * 10 + static_cast<unsigned>(c - '0');
    }
    if (jobs == 0)
        throw TUsageError("-j wants a number of books built at once, such as -j 4, not " + value);
    return jobs;
}

// The keys whose values are file or folder names: given on the command line,
// a relative one is taken from the current folder, as every tool there does.
constexpr const char16_t* kNameKeys[] = {u"TextFileName",   u"OutputDir",          u"IconFileName",
                                         u"SplashFileName", u"BackgroundFileName", u"LinkLFileName",
                                         u"LinkPFileName"};

void AddSetting(TBatchOptions& options, const std::string& value) {
    const size_t equals = value.find('=');
    const std::u16string key =
        equals == std::string::npos ? u"" : TrimControls(FromUtf8(value.substr(0, equals)));
    if (key.empty())
        throw TUsageError("-s wants KEY=VALUE, such as -s FontName1=\"DejaVu Sans\", not " + value);
    std::u16string setting = TrimControls(FromUtf8(value.substr(equals + 1)));
    const bool isName = std::any_of(std::begin(kNameKeys), std::end(kNameKeys),
                                    [&](const char16_t* name) { return key == name; });
    if (isName && !setting.empty() && setting.front() != u'/' && setting.front() != u'~')
        setting = FromPath(fs::current_path() / ToPath(setting));
    options.Settings.emplace_back(key, setting);
}

const TOptionSpec kOptionSpecs[] = {
    {"-o", "DIR", "write the books into DIR (default: the current folder; created when missing)",
     [](TBatchOptions& o, const std::string& v) { o.OutputDir = v; }},
    {"-c", "FILE", "start from the configuration FILE (the keys and defaults of -make)",
     [](TBatchOptions& o, const std::string& v) { o.ConfigFile = v; }},
    {"-s", "KEY=VALUE", "set a configuration key for this run; may be given many times",
     AddSetting},
    {"-j", "N", "build N books at once (default: the number of cores)",
     [](TBatchOptions& o, const std::string& v) { o.Jobs = ParseJobs(v); }},
    {"-q", nullptr, "print failures only (DebugLevel 3)",
     [](TBatchOptions& o, const std::string&) {
         o.Quiet = true;
         o.Settings.emplace_back(u"DebugLevel", u"3");
     }},
    {"-v", nullptr, "print every detail (DebugLevel 7)",
     [](TBatchOptions& o, const std::string&) { o.Settings.emplace_back(u"DebugLevel", u"7"); }},
    {"-n", nullptr, "list what would be built, and build nothing",
     [](TBatchOptions& o, const std::string&) { o.ListOnly = true; }},
    {"-h", nullptr, "print this help (also --help)",
     [](TBatchOptions& o, const std::string&) { o.Action = TBatchOptions::TAction::Help; }},
    {"--help", nullptr, nullptr,
     [](TBatchOptions& o, const std::string&) { o.Action = TBatchOptions::TAction::Help; }},
    {"--version", nullptr, "print the version and the libraries Paginor runs on",
     [](TBatchOptions& o, const std::string&) { o.Action = TBatchOptions::TAction::Version; }},
};

const TOptionSpec* FindOption(const std::string& argument) {
    for (const TOptionSpec& spec : kOptionSpecs)
        if (argument == spec.Name) return &spec;
    return nullptr;
}

std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, seconds < 10 ? "%.2f s" : "%.1f s", seconds);
    return text;
}

std::string Size(uintmax_t bytes) {
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%ju B", bytes);
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.0f KB", bytes / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.1f MB", bytes / (1024.0 * 1024.0));
    return text;
}

// The names in a folder, sorted, so that a run takes books in the same order
// on every file system.
std::vector<fs::path> FolderEntries(const fs::path& folder, std::error_code& ec) {
    std::vector<fs::path> entries;
    fs::directory_iterator it(folder, ec);
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string SignalName(int signal) {
    const char* name = sigabbrev_np(signal);
    return name ? std::string("SIG") + name : "signal " + std::to_string(signal);
}

// Reads what the fd has; false at its end (or on an error), when it is closed.
bool ReadSome(int& fd, std::string& into) {
    char buffer[16384];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
        into.append(buffer, static_cast<size_t>(got));
        return true;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    ::close(fd);
    fd = -1;
    return false;
}

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

} // namespace

TBatchOptions ParseBatchArguments(const std::vector<std::string>& arguments) {
    TBatchOptions options;
    bool optionsEnd = false;
    for (size_t n = 0; n < arguments.size(); ++n) {
        const std::string& argument = arguments[n];
        if (optionsEnd || argument.empty() || argument[0] != '-' || argument == "-") {
            options.Books.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnd = true;
            continue;
        }
        const TOptionSpec* spec = FindOption(argument);
        options.AnyOption = options.AnyOption || spec;
        if (!spec) {
            options.Action = TBatchOptions::TAction::Usage;
            return options;
        }
        std::string value;
        if (spec->Value) {
            if (n + 1 >= arguments.size())
                throw TUsageError(argument + " wants a value: " + argument + " " + spec->Value);
            value = arguments[++n];
        }
        spec->Apply(options, value);
    }
    return options;
}

bool IsBatchForm(const std::vector<std::string>& arguments) {
    return std::any_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
        std::error_code ec;
        return FindOption(argument) ||
               (!argument.empty() &&
                fs::symlink_status(argument, ec).type() != fs::file_type::not_found);
    });
}

std::vector<std::string> BatchHelpLines() {
    std::vector<std::string> lines = {
        "",
        "paginor [OPTIONS] BOOK|FOLDER...",
        "Builds each BOOK (FB2, zipped FB2, EPUB, DOCX, DOC, RTF, ODT, web page or text) into",
        "NAME.jar and NAME.jad; a FOLDER's books, its subfolders' included, go into the same",
        "subfolders of the output folder. Exit status 0 when every book was built, 1 otherwise,",
        "2 for a wrong option.",
    };
    for (const TOptionSpec& spec : kOptionSpecs) {
        if (!spec.Help) continue;
        std::string left =
            std::string(spec.Name) + (spec.Value ? std::string(" ") + spec.Value : "");
        left.resize(std::max<size_t>(left.size() + 1, 30), ' ');
        lines.push_back(left + spec.Help);
    }
    return lines;
}

struct TBookBatch::TRunning {
    pid_t Pid = -1;
    size_t Index = 0;
    int LogFd = -1;    // the child's standard output and error
    int ResultFd = -1; // its outcome record
    std::string Log, Result;
    std::chrono::steady_clock::time_point Start;
};

bool TBookBatch::ReadConfiguration() {
    // A setting whose key is no option is a mistyped command line: told before
    // anything else, with the option it most likely meant.
    try {
        TBookConfig probe;
        probe.ReadConfig(u"", Options.Settings);
    } catch (const TBookError& error) {
        throw TUsageError(error.what());
    }
    Config.StartDir = FromPath(fs::current_path()) + u"/";
    std::u16string file;
    if (!Options.ConfigFile.empty()) {
        file = TrimControls(FromUtf8(Options.ConfigFile));
        std::error_code ec;
        if (fs::symlink_status(ToPath(file), ec).type() == fs::file_type::not_found) {
            PrintLine("Can't find config file " + ToUtf8(file));
            return false;
        }
        Config.ConfigDir = FromPath(fs::absolute(ToPath(file)).parent_path()) + u"/";
    }
    Config.ReadConfig(file, Options.Settings);
    // The output folder: -o from the current folder; else the configuration's
    // own, from the configuration's folder (-s gives it in full); else the
    // current folder.
    fs::path root = fs::current_path();
    if (!Options.OutputDir.empty())
        root = fs::absolute(Options.OutputDir);
    else if (!Config.OutputDir.empty() && Config.OutputDir != u".")
        root = ToPath(Config.ConfigDir.empty() ? Config.StartDir : Config.ConfigDir) /
               ToPath(Config.OutputDir);
    OutputRoot = FromPath(root.lexically_normal());
    while (OutputRoot.size() > 1 && OutputRoot.back() == u'/')
        OutputRoot.pop_back();
    return true;
}

bool TBookBatch::Prepare() {
    Began = std::chrono::steady_clock::now();
    Terminal = ::isatty(STDOUT_FILENO) == 1;
    if (!ReadConfiguration()) return false;
    Collect();
    Unfound = Failed.size();
    if (Found.empty() && Failed.empty() && NotBooks.empty())
        throw TUsageError(
            "No book given: paginor [OPTIONS] BOOK|FOLDER... (paginor --help tells more)");
    return true;
}

int TBookBatch::Run() {
    return Options.ListOnly ? List() : Build();
}

void TBookBatch::Collect() {
    for (const std::string& argument : Options.Books) {
        if (!IsValidUtf8(argument)) {
            Failed.push_back({ToUtf8(FromUtf8(argument)), "its name is not UTF-8; rename it"});
            continue;
        }
        const fs::path path = fs::absolute(argument).lexically_normal();
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (!fs::exists(status))
            Failed.push_back({argument, "No such file or folder"});
        else if (fs::is_directory(status))
            AddFolder(FromPath(path), argument);
        else
            AddFile(FromPath(path), argument, OutputRoot);
    }
}

void TBookBatch::AddFolder(const std::u16string& folder, const std::string& shown) {
    // Folders still to walk: the folder's path, how it is shown, and its
    // output folder. A folder's books come before those of its subfolders.
    std::vector<std::tuple<fs::path, std::string, std::u16string>> pending{
        {ToPath(folder), shown, OutputRoot}};
    const fs::path output = ToPath(OutputRoot);
    while (!pending.empty()) {
        const auto [path, where, outputDir] = pending.front();
        pending.erase(pending.begin());
        std::error_code ec;
        const std::vector<fs::path> entries = FolderEntries(path, ec);
        if (ec) {
            Failed.push_back(
                {where, "Can't read folder " + path.string() + " (" + ec.message() + ")"});
            continue;
        }
        std::vector<std::tuple<fs::path, std::string, std::u16string>> subfolders;
        for (const fs::path& entry : entries) {
            const std::string name = entry.filename().string();
            const std::string entryShown = (where.ends_with("/") ? where : where + "/") + name;
            // Hidden files and folders (a version control's, a midlet being
            // written) are no one's books; nor is the output folder itself.
            if (name.starts_with(".") || entry == output) continue;
            if (!IsValidUtf8(name)) {
                NotBooks.push_back({ToUtf8(FromUtf8(entryShown)),
                                    "its name is not UTF-8 (rename it to build it)"});
                continue;
            }
            std::error_code typeError;
            if (fs::is_symlink(fs::symlink_status(entry, typeError)) &&
                fs::is_directory(entry, typeError))
                continue; // a link to a folder could lead round in a loop
            if (fs::is_directory(entry, typeError))
                subfolders.emplace_back(entry, entryShown, outputDir + u"/" + FromUtf8(name));
            else if (fs::is_regular_file(entry, typeError))
                AddFile(FromPath(entry), entryShown, outputDir);
        }
        pending.insert(pending.begin(), subfolders.begin(), subfolders.end());
    }
}

void TBookBatch::AddFile(const std::u16string& path, const std::string& shown,
                         const std::u16string& outputDir) {
    const std::u16string fileName = FromPath(ToPath(path).filename());
    if (!HasSourceExtension(fileName)) {
        const auto sniffed = SniffSource(path);
        if (sniffed && !sniffed->WantedExtension.empty()) {
            NotBooks.push_back(
                {shown, "it holds a document that is read by its extension: name it " +
                            ToUtf8(BookNameOf(fileName) + sniffed->WantedExtension) +
                            " to build it"});
            return;
        }
        if (!sniffed) {
            NotBooks.push_back({shown, "not a book"});
            return;
        }
    }
    std::error_code ec;
    const fs::path canonical = fs::canonical(ToPath(path), ec);
    for (const TBatchBook& book : Found) {
        // The same file named twice (or through a link) is built once.
        if (!ec && fs::equivalent(canonical, ToPath(book.Source), ec)) return;
    }
    const std::u16string name = BookNameOf(fileName);
    for (const TBatchBook& book : Found)
        if (book.OutputDir == outputDir && book.Name == name) {
            NotBooks.push_back({shown, "it gets the name " + ToUtf8(name) + ", as " + book.Shown +
                                           " does (rename one of them to build both)"});
            return;
        }
    Found.push_back({path, shown, outputDir, name});
}

std::string TBookBatch::ShownPath(const std::u16string& path) const {
    const fs::path relative = ToPath(path).lexically_relative(fs::current_path());
    const std::string text = relative.string();
    return relative.empty() || text.starts_with("..") ? ToUtf8(path) : text;
}

void TBookBatch::PrintLine(const std::string& line) const {
    if (Terminal) std::cout << "\r\x1b[K";
    std::cout << line << '\n' << std::flush;
}

int TBookBatch::List() const {
    for (const TBatchBook& book : Found)
        PrintLine(book.Shown + " -> " + ShownPath(book.OutputDir + u"/" + book.Name + u".jar"));
    for (const TBatchProblem& skipped : NotBooks)
        PrintLine("Skipped " + skipped.Shown + ": " + skipped.Reason);
    for (const TBatchProblem& failed : Failed)
        PrintLine("Can't build " + failed.Shown + ": " + failed.Reason);
    PrintLine(Plural(Found.size(), "book", "books") + " to build, " +
              std::to_string(NotBooks.size()) + " skipped" +
              (Failed.empty() ? "" : ", " + std::to_string(Failed.size()) + " not found"));
    return Failed.empty() ? 0 : 1;
}

bool TBookBatch::CreateOutputFolders() {
    std::error_code ec;
    const bool rootExisted = fs::is_directory(ToPath(OutputRoot), ec);
    std::set<std::u16string> folders{OutputRoot};
    for (const TBatchBook& book : Found)
        folders.insert(book.OutputDir);
    for (const std::u16string& folder : folders) {
        fs::create_directories(ToPath(folder), ec);
        if (ec) {
            PrintLine("Can't create output folder " + ShownPath(folder) + " (" + ec.message() +
                      ")");
            return false;
        }
    }
    if (!rootExisted) PrintLine("Created output folder " + ShownPath(OutputRoot));
    return true;
}

int TBookBatch::Build() {
    if (!Found.empty() && !CreateOutputFolders()) return 1;
    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    const size_t jobs = Options.Jobs > 0 ? Options.Jobs : static_cast<size_t>(std::max(cores, 1L));
    std::vector<TRunning> running;
    size_t next = 0;
    while (next < Found.size() || !running.empty()) {
        while (running.size() < jobs && next < Found.size())
            Start(next++, running);
        Running = running.size();
        ShowProgress();
        std::vector<pollfd> fds;
        for (const TRunning& child : running)
            for (int fd : {child.LogFd, child.ResultFd})
                if (fd >= 0) fds.push_back({fd, POLLIN, 0});
        // On a terminal the bar's time left moves on each second.
        if (!fds.empty() && ::poll(fds.data(), fds.size(), Terminal ? 1000 : -1) < 0 &&
            errno != EINTR)
            throw TBookError(std::string("Can't wait for the books being built (") +
                             std::strerror(errno) + ")");
        for (TRunning& child : running) {
            for (const pollfd& ready : fds) {
                if (!(ready.revents & (POLLIN | POLLHUP | POLLERR))) continue;
                if (ready.fd == child.LogFd)
                    ReadSome(child.LogFd, child.Log);
                else if (ready.fd == child.ResultFd)
                    ReadSome(child.ResultFd, child.Result);
            }
        }
        for (auto it = running.begin(); it != running.end();) {
            if (it->LogFd >= 0 || it->ResultFd >= 0) {
                ++it;
                continue;
            }
            Finish(*it);
            it = running.erase(it);
        }
    }
    Running = 0;
    return Summary();
}

void TBookBatch::Start(size_t index, std::vector<TRunning>& running) {
    int logPipe[2], resultPipe[2];
    if (::pipe2(logPipe, O_CLOEXEC) != 0)
        throw TBookError("Can't make a pipe (" + SystemErrorText(errno) + ")");
    if (::pipe2(resultPipe, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(logPipe[0]);
        ::close(logPipe[1]);
        throw TBookError("Can't make a pipe (" + SystemErrorText(error) + ")");
    }
    // What the parent has buffered must not be written twice.
    std::cout.flush();
    TRunning child;
    child.Index = index;
    child.Start = std::chrono::steady_clock::now();
    child.Pid = ::fork();
    if (child.Pid == 0) {
        // The child: its log goes into the pipe; it builds the one book and
        // sends back what it made.
        for (const TRunning& other : running) {
            ::close(other.LogFd);
            ::close(other.ResultFd);
        }
        ::close(logPipe[0]);
        ::close(resultPipe[0]);
        ::dup2(logPipe[1], STDOUT_FILENO);
        ::dup2(logPipe[1], STDERR_FILENO);
        ::close(logPipe[1]);
        const TBatchBook& book = Found[index];
        TBookConfig config = Config;
        config.TextFileName = book.Source;
        config.BookName = book.Name;
        config.OutputDir = book.OutputDir;
        TBookMaker maker(config);
        bool built = false;
        std::string record;
        try {
            built = maker.Run(false);
        } catch (const std::exception& error) {
            std::cout << "Error " << error.what() << '\n';
            record += std::string("F") + error.what() + '\0';
        }
        const TBookOutcome& outcome = maker.Outcome();
        for (const std::u16string& midlet : outcome.Midlets)
            record += "M" + ToUtf8(midlet) + '\0';
        if (!outcome.Failure.empty()) record += "F" + outcome.Failure + '\0';
        if (!outcome.DumpPath.empty()) record += "D" + ToUtf8(outcome.DumpPath) + '\0';
        std::cout.flush();
        WriteAll(resultPipe[1], record);
        ::_exit(built && std::cout ? 0 : 1);
    }
    const int error = errno;
    ::close(logPipe[1]);
    ::close(resultPipe[1]);
    if (child.Pid < 0) {
        ::close(logPipe[0]);
        ::close(resultPipe[0]);
        throw TBookError("Can't start a process for " + Found[index].Shown + " (" +
                         SystemErrorText(error) + ")");
    }
    child.LogFd = logPipe[0];
    child.ResultFd = resultPipe[0];
    running.push_back(std::move(child));
}

void TBookBatch::Finish(TRunning& child) {
    int status = 0;
    while (::waitpid(child.Pid, &status, 0) < 0 && errno == EINTR) {
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - child.Start).count();
    std::vector<std::u16string> midlets;
    std::string failure, dump;
    for (size_t start = 0; start < child.Result.size();) {
        size_t end = child.Result.find('\0', start);
        if (end == std::string::npos) end = child.Result.size();
        const std::string field = child.Result.substr(start + 1, end - start - 1);
        switch (child.Result[start]) {
        case 'M':
            midlets.push_back(FromUtf8(field));
            break;
        case 'F':
            failure = field;
            break;
        case 'D':
            dump = field;
            break;
        }
        start = end + 1;
    }
    const bool built = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !midlets.empty();
    if (!built && failure.empty())
        failure = WIFSIGNALED(status)
                      ? "its build ended with " + SignalName(WTERMSIG(status))
                      : "its build ended with status " + std::to_string(WEXITSTATUS(status));
    // The book's log, whole, before its line.
    if (Terminal && !child.Log.empty()) std::cout << "\r\x1b[K";
    std::cout << child.Log;
    if (!child.Log.empty() && child.Log.back() != '\n') std::cout << '\n';
    ++Done;
    const TBatchBook& book = Found[child.Index];
    const std::string count =
        "[" + std::to_string(Done) + "/" + std::to_string(Found.size()) + "] " + book.Shown;
    if (built) {
        uintmax_t bytes = 0;
        for (const std::u16string& midlet : midlets) {
            std::error_code ec;
            const uintmax_t size = fs::file_size(ToPath(midlet), ec);
            if (!ec) bytes += size;
        }
        ++Built;
        const std::string parts =
            midlets.size() > 1 ? ", " + std::to_string(midlets.size()) + " parts" : "";
        if (!Options.Quiet)
            PrintLine(count + " -> " + ShownPath(midlets.front()) + " (" + Size(bytes) + parts +
                      ") " + Seconds(seconds));
        return;
    }
    Failed.push_back({book.Shown, failure + (dump.empty() ? "" : "; its text is in " + dump)});
    PrintLine(count + " failed: " + failure + " (" + Seconds(seconds) + ")");
}

void TBookBatch::ShowProgress() const {
    if (!Terminal) return;
    constexpr size_t kWidth = 24;
    const size_t total = Found.size();
    const size_t filled = total ? Done * kWidth / total : 0;
    std::string line = "\r\x1b[K[" + std::to_string(Done) + "/" + std::to_string(total) + "] [" +
                       std::string(filled, '#') + std::string(kWidth - filled, '.') + "] " +
                       std::to_string(Running) + " building";
    if (Done > 0) {
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - Began).count();
        line += ", about " + Seconds(elapsed / Done * (total - Done)) + " left";
    }
    std::cout << line << std::flush;
}

int TBookBatch::Summary() const {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Began).count();
    std::string line = "Built " + std::to_string(Built) + " of " +
                       Plural(Found.size() + Unfound, "book", "books") + " in " + Seconds(seconds);
    if (!Failed.empty()) line += ", " + std::to_string(Failed.size()) + " failed";
    if (!NotBooks.empty()) line += ", " + std::to_string(NotBooks.size()) + " skipped";
    PrintLine(line);
    if (!Failed.empty()) PrintLine("Failed:");
    for (const TBatchProblem& failed : Failed)
        PrintLine("  " + failed.Shown + ": " + failed.Reason);
    if (!NotBooks.empty()) PrintLine("Skipped:");
    for (const TBatchProblem& skipped : NotBooks)
        PrintLine("  " + skipped.Shown + ": " + skipped.Reason);
    return Failed.empty() ? 0 : 1;
}

} // namespace paginor
