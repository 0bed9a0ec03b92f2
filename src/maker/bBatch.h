// TBookBatch: the command-line form `paginor [OPTIONS] BOOK|FOLDER...`. It
// reads the options, finds the books (a folder is walked through its
// subfolders, which are mirrored under the output folder), and builds each
// book in a child process of its own, up to -j at once. A child's log comes
// back through a pipe and is printed whole when its book is done, so the logs
// of books built at once never mix; a book that fails, crashes or runs out of
// memory ends its own process only. The run ends with a summary.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"

#include <chrono>
#include <string>
#include <vector>

namespace paginor {

// A misused option of the command-line form (a missing or wrong value): its
// one-line message is printed and the run ends with status 2.
class TUsageError : public TBookError {
public:
    using TBookError::TBookError;
};

struct TBatchOptions {
    enum class TAction { Build, Help, Version, Usage };
    TAction Action = TAction::Build;
    std::vector<std::string> Books; // BOOK and FOLDER arguments, as given
    std::string OutputDir;          // -o; empty: none given
    std::string ConfigFile;         // -c; empty: none given
    TSettings Settings;             // -s, -q and -v, in the order given
    unsigned Jobs = 0;              // -j; 0: one per core
    bool Quiet = false;             // -q
    bool ListOnly = false;          // -n
    bool AnyOption = false;         // some option of the form was given
};

// Reads the arguments after the program name. An option that the form does
// not know gives the Usage action; a known one without its value, or with a
// wrong one, raises TUsageError.
TBatchOptions ParseBatchArguments(const std::vector<std::string>& arguments);

// Whether the arguments (after the program name) take the command-line form:
// some argument is one of its options or names an existing file or folder.
bool IsBatchForm(const std::vector<std::string>& arguments);

// The lines that --help prints after the usage: the form and its options.
std::vector<std::string> BatchHelpLines();

// One book to build: where it is, how the user named it, and where it goes.
struct TBatchBook {
    std::u16string Source;    // full path
    std::string Shown;        // as the user gave it (an argument, or one below a folder)
    std::u16string OutputDir; // full path
    std::u16string Name;      // the midlet name
};

// A book that was not built, and why.
struct TBatchProblem {
    std::string Shown;
    std::string Reason;
};

class TBookBatch : public TBookObject {
public:
    explicit TBookBatch(const TBatchOptions& options) : Options(options) {}

    // Reads the configuration (-c, -s) and finds the books. False, after a
    // line saying so, when the configuration file does not exist. Raises
    // TUsageError for a setting that is no option or when no book is given,
    // TBookError when the configuration cannot be read.
    bool Prepare();
    // Lists the books (-n) or builds them all. Returns the exit status: 0
    // when every book was built (or can be), 1 otherwise.
    int Run();

    const std::vector<TBatchBook>& Books() const { return Found; }
    const std::vector<TBatchProblem>& Skipped() const { return NotBooks; }

private:
    struct TRunning;

    bool ReadConfiguration();
    void Collect();
    void AddFile(const std::u16string& path, const std::string& shown,
                 const std::u16string& outputDir);
    void AddFolder(const std::u16string& folder, const std::string& shown);
    int List() const;
    int Build();
    bool CreateOutputFolders();
    void Start(size_t index, std::vector<TRunning>& running);
    void Finish(TRunning& child);
    void ShowProgress() const;
    void PrintLine(const std::string& line) const;
    int Summary() const;
    std::string ShownPath(const std::u16string& path) const;

    const TBatchOptions& Options;
    TBookConfig Config;
    std::u16string OutputRoot; // full path
    std::vector<TBatchBook> Found;
    std::vector<TBatchProblem> NotBooks; // skipped: not a book, or a name taken
    std::vector<TBatchProblem> Failed;
    size_t Unfound = 0; // arguments that name nothing that can be read
    size_t Done = 0;
    size_t Built = 0;
    size_t Running = 0;
    bool Terminal = false; // standard output is a terminal: a progress bar
    std::chrono::steady_clock::time_point Began;
};

} // namespace paginor
