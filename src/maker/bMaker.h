// TBookMaker: one run of the build driver. It sets up the work folders (beside
// the program, or per user for an installed or read-only copy), finds the source or, in folder
// mode, every source a pattern matches, imports each into tagged text, analyses it and writes one
// midlet per book or per part. A failed book is logged and dumped.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"

#include <string>
#include <vector>

namespace paginor {

// What one run made of its books: the JARs written, and for a failed book
// its one-line reason and the full path of its dump (empty when none).
struct TBookOutcome {
    std::vector<std::u16string> Midlets; // full paths, in the order written
    std::string Failure;
    std::u16string DumpPath;
};

class TBookMaker : public TBookObject {
public:
    explicit TBookMaker(TBookConfig& config) : Config(config) {}

    // The whole run. Returns false when a book failed (after logging it and
    // writing its dump); raises only when the dump itself cannot be written.
    bool Run(bool folderMode);
    // Builds the midlet or midlets of the source TextFileName names.
    void MakeBook();
    // Makes sure the folder exists (one level).
    void MakeDirectory(const std::u16string& folder) const;
    // Deletes every file directly inside the folder; sub-folders stay.
    void ClearDirectory(const std::u16string& folder) const;
    // Writes the text as UTF-16 little-endian with a byte-order mark.
    static void SaveDump(const std::u16string& fileName, const std::u16string& text);

    // The folder of the running program with a trailing "/".
    static std::u16string ExeDir();

    const TBookOutcome& Outcome() const { return Result; }

private:
    void SetUpFolders();
    void CreateWorkFolders();
    void CheckWorkFolders(bool folderMode) const;
    std::u16string SourceFolder(bool folderMode) const;
    void MakeFolderBooks();
    // Logs that the folder holds no source the mask matches, and where it looked.
    void ReportNoSource(const std::u16string& folder, const std::u16string& mask) const;
    std::u16string SearchFolder(const std::u16string& folder, const std::u16string& mask) const;
    void ReportFailure(const std::exception& error, bool clearFolders);

    TBookConfig& Config;
    TBookOutcome Result;
    size_t FolderBooks = 0;    // in folder mode: the sources found
    size_t FolderBuilt = 0;    // and how many of them were built
    std::u16string SourceText; // the current book's imported text
    bool SourceIsFile = false; // it was a text file's, handed over to the analysis
    bool InWorkDir = false;    // the work folders' folder is the current folder
};

// Where a program in exeDir keeps its work folders (with a trailing "/"):
// beside itself when it may write there and is not an installed copy (one
// that lies in PREFIX/bin beside PREFIX/share/paginor); otherwise in the
// user's data folder, $XDG_DATA_HOME/paginor (an absolute XDG_DATA_HOME
// only), else $HOME/.local/share/paginor. The environment values may be null.
std::u16string ChooseWorkDir(const std::u16string& exeDir, bool installed, bool writable,
                             const char* xdgDataHome, const char* home);

// The name a dump file gets for a book name: "/" and control characters
// become "_", so that a dump never lands outside the program's folder.
std::u16string DumpFileName(const std::u16string& bookName);

} // namespace paginor
