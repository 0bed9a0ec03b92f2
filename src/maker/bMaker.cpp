#include "maker/bMaker.h"

#include "core/bVar.h"
#include "maker/bEpub.h"
#include "maker/bFB2.h"
#include "maker/bSources.h"
#include "maker/bStaleParts.h"
#include "maker/bWord.h"
#include "midlet/bByteOrder.h"
#include "midlet/bMidlet.h"
#include "midlet/bOutputFile.h"
#include "platform/OfficeConverter.h"
#include "text/bText.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <fnmatch.h>
#include <map>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace paginor {

namespace {

namespace fs = std::filesystem;

constexpr const char16_t* kLockFileName = u"paginor.lock";
constexpr const char16_t* kSourceDumpName = u"sourcetext.dump";
constexpr const char16_t* kDumpExtension = u".dump";
constexpr int kDumpLevel = 7;

// The exclusive lock on the program's work folders. Every run of the same
// program file takes it before it touches the folders; a second run waits.
class TRunLock {
public:
    TRunLock(const TBookObject& log, const std::u16string& path) {
        Fd = ::open(ToPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (Fd < 0)
            throw TBookError("Can't open lock file " + ToUtf8(path) + " (" +
                             SystemErrorText(errno) + ")");
        if (::flock(Fd, LOCK_EX | LOCK_NB) == 0) return;
        log.Log(6, ".. Waiting for another run of this program to finish (lock file " +
                       ToUtf8(path) + ")");
        while (::flock(Fd, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(Fd);
            throw TBookError("Can't lock " + ToUtf8(path) + " (" + SystemErrorText(error) + ")");
        }
        log.Log(6, "+ The other run has finished");
    }
    ~TRunLock() { ::close(Fd); }
    TRunLock(const TRunLock&) = delete;
    TRunLock& operator=(const TRunLock&) = delete;

private:
    int Fd = -1;
};

std::u16string FolderPart(const std::u16string& name) {
    const size_t slash = name.rfind(u'/');
    return slash == std::u16string::npos ? u"" : name.substr(0, slash + 1);
}

// The mask part of a folder-mode pattern (after its last "/").
std::u16string MaskPart(const std::u16string& pattern) {
    return pattern.substr(FolderPart(pattern).size());
}

// The folder's full path with links resolved, without a trailing "/" ("" is
// the current folder); a part that does not exist is kept as written.
fs::path FullFolderPath(const std::u16string& folder) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(ToPath(folder.empty() ? u"." : folder), ec);
    fs::path path = fs::weakly_canonical(absolute, ec);
    // Links that cannot be resolved (a loop) leave the path as written.
    if (ec) path = absolute.lexically_normal();
    if (!path.has_filename()) path = path.parent_path();
    return path;
}

// Whether the path is the folder or lies below it.
bool IsWithin(const fs::path& path, const fs::path& folder) {
    return !folder.empty() &&
           std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first ==
               folder.end();
}

bool IsFolder(const std::u16string& name) {
    std::error_code ec;
    return !name.empty() && fs::is_directory(ToPath(name), ec);
}

// The files of a folder whose names match a mask.
struct TFolderListing {
    // Regular files that lie in the folder, sorted.
    std::vector<std::u16string> Names;
    // Names that are not UTF-8 (a file from an old archive or another
    // system): converted they would not lead back to their file.
    std::vector<std::u16string> NotUtf8;
    // Entries that are not read, each with the reason: a symbolic link that
    // leads out of the folder (a book someone sent must not make a midlet of
    // the system's files) and anything that is not a regular file (a FIFO
    // would block the run).
    std::vector<std::pair<std::u16string, std::string>> PassedOver;
};

// Why an entry of the folder `realFolder` (its path with links resolved) is
// not read as a source; nothing when it is a regular file in the folder.
std::optional<std::string> PassOverReason(const fs::directory_entry& entry,
                                          const fs::path& realFolder) {
    std::error_code ec;
    if (entry.is_symlink(ec)) {
        const fs::path target = fs::canonical(entry.path(), ec);
        if (ec) return "it is a symbolic link that leads nowhere";
        if (!IsWithin(target, realFolder) || target == realFolder)
            return "it is a symbolic link to " + target.string() + ", outside the folder";
    }
    if (!entry.is_regular_file(ec)) return std::string("it is not a regular file");
    return std::nullopt;
}

// The entries of the folder (current folder when empty) whose names match
// the mask ("*.*" matches every name); folders are left out. A folder that
// exists but cannot be read raises its reason when readError is given.
TFolderListing MatchingFiles(const std::u16string& folder, const std::u16string& mask,
                             bool readError = false) {
    const std::string pattern = mask == u"*.*" ? "*" : ToUtf8(mask);
    TFolderListing listing;
    std::error_code ec;
    const fs::path path = folder.empty() ? fs::path(".") : ToPath(folder);
    const fs::path realFolder = FullFolderPath(folder);
    fs::directory_iterator it(path, ec);
    if (ec && readError && ec != std::errc::no_such_file_or_directory &&
        ec != std::errc::not_a_directory)
        throw TBookError("Can't read folder " + realFolder.string() + " (" + ec.message() + ")");
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        const std::string name = it->path().filename().string();
        if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
        if (!IsValidUtf8(name))
            listing.NotUtf8.push_back(FromUtf8(name));
        else if (const auto reason = PassOverReason(*it, realFolder))
            listing.PassedOver.emplace_back(FromUtf8(name), *reason);
        else
            listing.Names.push_back(FromUtf8(name));
    }
    std::sort(listing.Names.begin(), listing.Names.end());
    std::sort(listing.NotUtf8.begin(), listing.NotUtf8.end());
    std::sort(listing.PassedOver.begin(), listing.PassedOver.end());
    return listing;
}

} // namespace

std::u16string DumpFileName(const std::u16string& bookName) {
    std::u16string name = bookName;
    for (char16_t& c : name)
        if (c == u'/' || c < 32) c = u'_';
    // A name too long for a file (a midlet name refused for its length) is
    // cut, a whole character at a time, so that the dump is still written.
    while (ToUtf8(name + kDumpExtension).size() > kLongestFileName)
        name.pop_back();
    return name + kDumpExtension;
}

std::u16string TBookMaker::ExeDir() {
    std::error_code ec;
    fs::path exe = fs::canonical("/proc/self/exe", ec);
    if (ec) throw TBookError("Can't find the program's folder (" + ec.message() + ")");
    std::u16string folder = FromPath(exe.parent_path());
    if (folder.empty() || folder.back() != u'/') folder += u'/';
    return folder;
}

void TBookMaker::SaveDump(const std::u16string& fileName, const std::u16string& text) {
    constexpr size_t kChunkUnits = 1 << 15; // written a piece at a time
    try {
        TOutputFile file(ToPath(fileName));
        file.Write("\xFF\xFE");
        std::string bytes;
        for (size_t start = 0; start < text.size(); start += kChunkUnits) {
            bytes.clear();
            PutUtf16Le(bytes, std::u16string_view(text).substr(start, kChunkUnits));
            file.Write(bytes);
        }
        file.Close();
    } catch (const TBookError&) {
        // A dump cut short (a full disk) would pass for the book's text: it
        // goes, and the failure is told.
        std::error_code ec;
        fs::remove(ToPath(fileName), ec);
        throw;
    }
}

void TBookMaker::MakeDirectory(const std::u16string& folder) const {
    Log(7, ".. Creating directory [" + ToUtf8(folder) + "]");
    if (folder.empty()) throw TBookError("Wrong directory [" + ToUtf8(folder) + "]");
    if (!IsFolder(folder) && ::mkdir(ToPath(folder).c_str(), 0755) != 0)
        throw TBookError("Can't create directory " + ToUtf8(folder));
    Log(7, "+ Created directory " + ToUtf8(folder));
}

void TBookMaker::ClearDirectory(const std::u16string& folder) const {
    Log(7, ".. Removing files from directory [" + ToUtf8(folder) + "]");
    std::error_code ec;
    fs::directory_iterator it(ToPath(folder), ec);
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::u16string path = folder + u"/" + FromPath(it->path().filename());
        // Only files go: a sub-folder stays (remove on a non-empty folder fails
        // and an empty one is kept on purpose).
        std::error_code typeError;
        if (!it->is_directory(typeError)) {
            std::error_code removeError;
            fs::remove(ToPath(path), removeError);
        }
        Log(7, "+ removed file [" + ToUtf8(path) + "]");
    }
}

std::u16string ChooseWorkDir(const std::u16string& exeDir, bool installed, bool writable,
                             const char* xdgDataHome, const char* home) {
    if (writable && !installed) return exeDir;
    auto withoutSlash = [](std::string folder) {
        while (!folder.empty() && folder.back() == '/')
            folder.pop_back();
        return folder;
    };
    std::string base;
    if (xdgDataHome && xdgDataHome[0] == '/')
        base = withoutSlash(xdgDataHome);
    else if (home && home[0] != '\0')
        base = withoutSlash(home) + "/.local/share";
    else
        throw TBookError("Can't find the user's data folder for the work folders of " +
                         ToUtf8(exeDir) + ": HOME is not set");
    return FromUtf8(base) + u"/paginor/";
}

// Chooses the work folders' folder, creates it when it is the user's data
// folder, and makes it the current folder, so that relative names the run
// writes (dumps, a relative OutputDir) land there.
void TBookMaker::SetUpFolders() {
    Config.ExeDir = ExeDir();
    const fs::path exeFolder = ToPath(Config.ExeDir).parent_path();
    std::error_code ec;
    const bool installed = fs::is_directory(exeFolder.parent_path() / "share" / "paginor", ec);
    const bool writable = ::access(exeFolder.c_str(), W_OK | X_OK) == 0;
    Config.WorkDir = ChooseWorkDir(Config.ExeDir, installed, writable, std::getenv("XDG_DATA_HOME"),
                                   std::getenv("HOME"));
    if (Config.WorkDir != Config.ExeDir) {
        fs::create_directories(ToPath(Config.WorkDir), ec);
        if (ec)
            throw TBookError("Can't create directory " + ToUtf8(Config.WorkDir) + " (" +
                             ec.message() + ")");
        Log(6, "+ Work folders are in " + ToUtf8(Config.WorkDir) +
                   (installed ? " (an installed program keeps them per user)"
                              : " (the program's folder is not writable)"));
    }
    fs::current_path(ToPath(Config.WorkDir), ec);
    if (ec)
        throw TBookError("Can't change to folder " + ToUtf8(Config.WorkDir) + " (" + ec.message() +
                         ")");
    InWorkDir = true;
}

// Every run empties the work folders; a user's file must never lie in one.
// The output folder, the configuration's folder and the sources' folder are
// refused when they are a work folder or lie inside one.
void TBookMaker::CheckWorkFolders(bool folderMode) const {
    const std::pair<const char*, std::u16string> userFolders[] = {
        {"the output folder", Config.OutputDir},
        {"the configuration file's folder", Config.ConfigDir},
        {"the source folder", SourceFolder(folderMode)},
    };
    for (const std::u16string* work : {&Config.Temp1Dir, &Config.MetaInfDir, &Config.Temp2Dir}) {
        const fs::path workPath = FullFolderPath(*work);
        for (const auto& [what, folder] : userFolders) {
            const fs::path path = FullFolderPath(folder);
            if (IsWithin(path, workPath))
                throw TBookError(std::string("Can't use ") + what + " " + path.string() +
                                 ": it lies in the work folder " + workPath.string() +
                                 ", which every run empties");
        }
    }
}

void TBookMaker::CreateWorkFolders() {
    Log(6, ".. Creating directories ");
    const std::pair<std::u16string*, const char16_t*> folders[] = {
        {&Config.OutputDir, u"midlets"},
        {&Config.Temp1Dir, u"temp1"},
        {&Config.MetaInfDir, u"temp1/META-INF"},
        {&Config.Temp2Dir, u"temp2"},
    };
    for (const auto& [field, defaultName] : folders) {
        const bool output = field == &Config.OutputDir;
        // A relative output folder is taken from the work place, which is
        // not the folder the user started in: the log names it in full.
        if (IsFolder(*field)) {
            if (output && field->front() != u'/') *field = FromPath(FullFolderPath(*field));
            continue;
        }
        const std::u16string configured = *field;
        *field = Config.WorkDir + defaultName;
        // A mistyped output folder must not hide where the book went.
        if (output && !configured.empty() && FullFolderPath(configured) != FullFolderPath(*field)) {
            std::error_code ec;
            const bool exists = fs::exists(ToPath(configured), ec);
            Log(6, "? Output folder " + FullFolderPath(configured).string() +
                       (exists ? " is not a folder" : " does not exist") + "; the midlets go to " +
                       ToUtf8(*field));
        }
        MakeDirectory(*field);
    }
}

bool TBookMaker::Run(bool folderMode) {
    Log(6, ".. Checking configuration ");
    SourceText.clear();
    InWorkDir = false;
    Result = {};
    FolderBooks = FolderBuilt = 0;
    std::optional<TRunLock> lock;
    try {
        // A LibreOffice folder an ended run could not remove (the machine
        // went down during a conversion) goes with the next run.
        RemoveStaleOfficeFolders();
        SetUpFolders();
        lock.emplace(*this, Config.WorkDir + kLockFileName);
        CreateWorkFolders();
        CheckWorkFolders(folderMode);
    } catch (const std::exception& e) {
        ReportFailure(e, false);
        return false;
    }
    try {
        if (folderMode)
            MakeFolderBooks();
        else
            MakeBook();
        if (folderMode && FolderBooks > 0)
            Log(6, "+ Built " + std::to_string(FolderBuilt) + " of " + std::to_string(FolderBooks) +
                       (FolderBooks == 1 ? " book" : " books"));
        return true;
    } catch (const std::exception& e) {
        ReportFailure(e, folderMode);
        if (folderMode && FolderBooks > 0)
            Log(3, "- Built " + std::to_string(FolderBuilt) + " of " + std::to_string(FolderBooks) +
                       (FolderBooks == 1 ? " book" : " books") + "; " +
                       ToUtf8(Config.TextFileName) + " failed and the run stopped there");
        return false;
    }
}

void TBookMaker::ReportFailure(const std::exception& error, bool clearFolders) {
    Result.Failure = error.what();
    // The dump goes beside the work folders; a run that never got there
    // writes none. Its line comes before the failure's two lines, which end
    // the log as they always have.
    std::exception_ptr dumpError;
    if (InWorkDir) {
        // A text file's text was handed over to the analysis; it is read
        // again for the dump.
        if (SourceIsFile) {
            try {
                SourceText = LoadTextFile(Config.TextFileName, true);
            } catch (const std::exception&) {
                SourceText.clear(); // the file went away since
            }
        }
        try {
            const std::u16string dump = DumpFileName(Config.BookName);
            SaveDump(dump, SourceText);
            Result.DumpPath = FromPath(fs::absolute(ToPath(dump)));
            Log(3, "- The book's imported text is in " + ToUtf8(Result.DumpPath));
        } catch (const std::exception&) {
            dumpError = std::current_exception();
        }
    }
    Log(3, "- Can't create midlet");
    Log(3, std::string("- ") + error.what());
    if (clearFolders) {
        ClearDirectory(Config.Temp1Dir);
        ClearDirectory(Config.MetaInfDir);
        ClearDirectory(Config.Temp2Dir);
    }
    if (dumpError) std::rethrow_exception(dumpError);
}

// The folder named by the pattern: a relative one below the start folder
// when it holds a match, else below the configuration's folder, else below
// the work folders' folder (the current folder, beside the program unless it
// is an installed or read-only copy). The user's folders come first: a build
// tree, where the program lives, holds files of its own ("*.txt" matches
// CMakeCache.txt) that are no one's books.
std::u16string TBookMaker::SearchFolder(const std::u16string& folder,
                                        const std::u16string& mask) const {
    if (!folder.empty() && folder.front() == u'/') return folder;
    for (const std::u16string* base : {&Config.StartDir, &Config.ConfigDir})
        if (!base->empty() && !MatchingFiles(*base + folder, mask).Names.empty())
            return *base + folder;
    return folder;
}

// The folder the run reads its sources from: in folder mode the folder the
// pattern names, otherwise the folder of the resolved source name.
std::u16string TBookMaker::SourceFolder(bool folderMode) const {
    if (!folderMode) return FolderPart(Config.ResolveFileName(Config.TextFileName));
    return SearchFolder(FolderPart(Config.TextFileName), MaskPart(Config.TextFileName));
}

// Nothing to build is no failure, but a mistyped folder or pattern must not
// pass for a finished run: the line names where it looked.
void TBookMaker::ReportNoSource(const std::u16string& folder, const std::u16string& mask) const {
    std::vector<std::string> places;
    bool anyFolder = false;
    for (const std::u16string* base : {&Config.StartDir, &Config.ConfigDir, &Config.WorkDir}) {
        const std::u16string place =
            !folder.empty() && folder.front() == u'/' ? folder : *base + folder;
        const std::string name = FullFolderPath(place).string() + "/";
        if (std::find(places.begin(), places.end(), name) != places.end()) continue;
        places.push_back(name);
        anyFolder = anyFolder || IsFolder(place);
    }
    std::string where = places.front();
    for (size_t n = 1; n < places.size(); ++n)
        where += (n + 1 == places.size() ? " or " : ", ") + places[n];
    std::string extensions;
    for (const char16_t* extension : kSourceExtensions)
        extensions += (extensions.empty() ? "" : " ") + ToUtf8(extension);
    Log(6, "? No source matches " + ToUtf8(mask) + " in " + where +
               (anyFolder ? " (a source's name ends in one of " + extensions + ")"
                          : (places.size() == 1 ? ": no such folder" : ": no such folders")));
}

void TBookMaker::MakeFolderBooks() {
    const std::u16string mask = MaskPart(Config.TextFileName);
    const std::u16string folder = SourceFolder(true);
    Log(7, ".. Searching in folder [" + ToUtf8(folder) + "]");
    // The FB2 importer fills BookInfo and SplashFileName from a book's header.
    // Every book starts from the configured values, so that one book's details
    // and cover (a file in the picture folder, emptied before the next book)
    // do not pass to the books after it.
    const std::u16string bookInfo = Config.BookInfo, splashFileName = Config.SplashFileName;
    const TFolderListing listing = MatchingFiles(folder, mask, true);
    const std::vector<std::u16string>& entries = listing.Names;
    auto isSource = [](const std::u16string& entry) { return HasSourceExtension(entry); };
    for (const std::u16string& entry : listing.NotUtf8)
        if (isSource(entry))
            Log(6, "? Source file " + ToUtf8(folder + entry) +
                       " is passed over: its name is not UTF-8 (rename it to build it)");
    bool passedOver = false;
    for (const auto& [entry, reason] : listing.PassedOver) {
        if (!isSource(entry)) continue;
        Log(6, "? Source file " + ToUtf8(folder + entry) + " is passed over: " + reason);
        passedOver = true;
    }
    if (std::none_of(entries.begin(), entries.end(), isSource) &&
        std::none_of(listing.NotUtf8.begin(), listing.NotUtf8.end(), isSource) && !passedOver)
        ReportNoSource(folder, mask);
    // Sources that differ only in their extension (a book as .docx and as
    // .odt) get one name: the later midlet replaces the earlier, said so.
    std::map<std::u16string, std::u16string> sourceOfName;
    FolderBooks = static_cast<size_t>(std::count_if(entries.begin(), entries.end(), isSource));
    for (const std::u16string& entry : entries) {
        if (!isSource(entry)) continue;
        Log(6, "[" + std::to_string(FolderBuilt + 1) + "/" + std::to_string(FolderBooks) + "] " +
                   ToUtf8(entry));
        Config.BookInfo = bookInfo;
        Config.BookTitle.clear();
        Config.BookAuthor.clear();
        Config.SplashFileName = splashFileName;
        Config.TextFileName = folder + entry;
        Config.BookName = BookNameOf(entry);
        Log(6, "+ Source file found [" + ToUtf8(Config.TextFileName) + "]");
        Log(6, "+ BookName is set to [" + ToUtf8(Config.BookName) + "]");
        const auto [earlier, first] = sourceOfName.emplace(Config.BookName, entry);
        if (!first) {
            Log(6, "? " + ToUtf8(entry) + " gets the name " + ToUtf8(Config.BookName) + ", as " +
                       ToUtf8(earlier->second) +
                       " did: its midlet replaces that one (rename one of them to keep both)");
            earlier->second = entry;
        }
        MakeBook();
        ++FolderBuilt;
    }
}

void TBookMaker::MakeBook() {
    // The example configuration leaves both empty; said plainly rather than
    // as a file without a name that is not found.
    if (Config.TextFileName.empty())
        throw TBookError("TextFileName is empty: the configuration names no book to build");
    if (Config.BookName.empty())
        throw TBookError("BookName is empty: the configuration gives the midlet no name");
    // A book that asks for its code must have one: with 0 (a Password that
    // is missing or not a number) it would open to anyone, its text unmasked.
    constexpr int kLargestPassword = 999999; // six digits
    if ((Config.PasswordMode == 1 || Config.PasswordMode == 2) &&
        (Config.Password <= 0 || Config.Password > kLargestPassword))
        throw TBookError("PasswordMode " + std::to_string(Config.PasswordMode) +
                         " asks for a code, but Password " + std::to_string(Config.Password) +
                         " is not a code of 3 to 6 digits");
    Config.TextFileName = Config.ResolveFileName(Config.TextFileName);
    Config.SourceDir = FolderPart(Config.TextFileName);
    ClearDirectory(Config.Temp2Dir);

    SourceText.clear();
    SourceIsFile = false;
    Config.TagsForced = true;
    const TSourceKind kind = SourceKindOf(Config.TextFileName);
    try {
        switch (kind) {
        case TSourceKind::Word:
            SourceText = ImportWordDocument(*this, Config, Config.TextFileName, Config.Temp2Dir);
            break;
        case TSourceKind::FictionBook:
            SourceText = ImportFictionBook(*this, Config, Config.TextFileName, Config.Temp2Dir);
            break;
        case TSourceKind::Epub:
            SourceText = ImportEpubBook(*this, Config, Config.TextFileName, Config.Temp2Dir);
            break;
        case TSourceKind::ZippedFictionBook:
            SourceText =
                ImportZippedFictionBook(*this, Config, Config.TextFileName, Config.Temp2Dir);
            break;
        default:
            SourceText = LoadTextFile(Config.TextFileName);
        }
    } catch (const std::exception&) {
        // The reason ("File not found", a parser error) does not say which
        // file it was: a folder-mode run or a quiet log would not tell.
        Log(3, "- Can't import source file " + ToUtf8(Config.TextFileName));
        // A pattern given to -make names no file of its own.
        std::error_code ec;
        if (Config.TextFileName.find_first_of(u"*?") != std::u16string::npos &&
            !fs::exists(ToPath(Config.TextFileName), ec))
            Log(6, "? TextFileName " + ToUtf8(Config.TextFileName) +
                       " is a pattern: -makeall builds every book it matches, -make one named "
                       "file");
        throw;
    }
    if (Config.DebugLevel == kDumpLevel && kind != TSourceKind::Text)
        SaveDump(kSourceDumpName, SourceText);

    {
        // A text file's text moves into the analysis rather than being held
        // twice (a large book would need twice the memory); should the book
        // fail, the dump reads the file again. An imported text is kept.
        SourceIsFile = kind == TSourceKind::Text;
        TBookText book(SourceIsFile ? std::move(SourceText) : SourceText, Config);
        TBookMidlet midlet(Config);
        midlet.EntryTime = BookTime(ToPath(Config.TextFileName));
        auto makeOne = [&](const std::u16string& name, TBookText& text, const std::string& line) {
            Log(6, line);
            ClearDirectory(Config.Temp1Dir);
            ClearDirectory(Config.MetaInfDir);
            midlet.MakeMidlet(ToUtf8(name), text);
            Result.Midlets.push_back(FromPath(FullFolderPath(Config.OutputDir) /
                                              ToPath(FromUtf8(midlet.Name + ".jar"))));
            Log(6, "+ Created midlet [" + midlet.Name + "] OK"); // the name it got
        };
        if (book.IsMultipart()) {
            TBookTexts parts = book.SplitIntoParts();
            for (size_t n = 1; n <= parts.size(); ++n) {
                const std::u16string name = Config.BookName + IntToStr(static_cast<long long>(n));
                makeOne(name, parts[n - 1],
                        ".. Creating midlet [" + ToUtf8(name) + "], part " + std::to_string(n));
            }
            // The last part's name as it was made safe, without its number.
            const std::string count = std::to_string(parts.size());
            HandleStaleParts(*this, Config.OutputDir,
                             midlet.Name.substr(0, midlet.Name.size() - count.size()), parts.size(),
                             Config.RemoveStaleParts);
        } else {
            makeOne(Config.BookName, book, ".. Creating midlet [" + ToUtf8(Config.BookName) + "]");
        }
    }
    ClearDirectory(Config.Temp1Dir);
    ClearDirectory(Config.MetaInfDir);
    ClearDirectory(Config.Temp2Dir);
}

} // namespace paginor
