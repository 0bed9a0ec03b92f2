// Program entry: banner, command line, and one of -config, -make, -makeall,
// -serve, or the command-line form with books and folders (TBookBatch).
#include "config/bConfig.h"
#include "core/bSignals.h"
#include "core/bVar.h"
#include "maker/bBatch.h"
#include "maker/bMaker.h"
#include "maker/bServe.h"
#include "platform/LibraryVersions.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace paginor {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintLine(const std::string& line) {
    std::cout << line << '\n';
}

void PrintUsage() {
    PrintLine("Usage: Paginor [options ...] [conig_file]");
    PrintLine("-help                         show help");
    PrintLine("-config conig_file_name       save example of config file");
    PrintLine("-make conig_file_name         make single java book");
    PrintLine("-makeall conig_file_name      make multiple java books");
}

// The option word: trimmed of blanks and control characters, with only the
// letters A to Z folded to lower case.
std::u16string NormaliseOption(const char* argument) {
    std::u16string option = TrimControls(FromUtf8(argument));
    for (char16_t& c : option)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
    return option;
}

// Whether anything exists under the name (a dangling link and a folder
// included): -config never writes over it, and -make reports what it cannot
// read rather than claiming the file is missing.
bool NameExists(const std::u16string& name) {
    if (name.empty()) return false;
    std::error_code ec;
    return std::filesystem::symlink_status(ToPath(name), ec).type() !=
           std::filesystem::file_type::not_found;
}

// A folder as the options record holds it: with a trailing "/".
std::u16string FolderWithSlash(const std::filesystem::path& folder) {
    std::u16string text = FromPath(folder);
    if (text.empty() || text.back() != u'/') text += u'/';
    return text;
}

int WriteExample(const std::u16string& name) {
    if (NameExists(name)) {
        PrintLine("Config file " + ToUtf8(name) + " already exist");
        return kExitFailure;
    }
    TBookConfig config;
    config.WriteExampleConfig(name);
    PrintLine("Config file saved " + ToUtf8(name));
    return kExitSuccess;
}

// Builds the books of a configuration that has been read: the one source it
// names, or in folder mode every source its pattern matches. A failed book
// makes the exit status 1.
int RunBooks(TBookConfig& config, bool folderMode) {
    TBookMaker maker(config);
    return maker.Run(folderMode) ? kExitSuccess : kExitFailure;
}

int MakeBooks(const std::u16string& name, bool folderMode) {
    if (!NameExists(name)) {
        PrintLine("Can't find config file " + ToUtf8(name));
        return kExitFailure;
    }
    TBookConfig config;
    config.StartDir = FolderWithSlash(std::filesystem::current_path());
    config.ConfigDir = FolderWithSlash(std::filesystem::absolute(ToPath(name)).parent_path());
    config.ReadConfig(name);
    return RunBooks(config, folderMode);
}

// The version line and the libraries', without the banner, so that the
// first line is what tools look for.
int PrintVersion() {
    PrintLine(std::string("paginor ") + kProgramVersion);
    for (const std::string& line : LibraryVersionLines())
        PrintLine(line);
    return kExitSuccess;
}

// The command-line form: books and folders with the options of TBookBatch.
// An option it does not know gives the usage, as for the option words.
int RunBatch(const std::vector<std::string>& arguments) {
    try {
        const TBatchOptions options = ParseBatchArguments(arguments);
        switch (options.Action) {
        case TBatchOptions::TAction::Usage:
            PrintUsage();
            return kExitUsage;
        case TBatchOptions::TAction::Help:
            PrintUsage();
            for (const std::string& line : BatchHelpLines())
                PrintLine(line);
            return kExitSuccess;
        case TBatchOptions::TAction::Version:
            return PrintVersion();
        case TBatchOptions::TAction::Build:
            break;
        }
        TBookBatch batch(options);
        if (!batch.Prepare()) return kExitFailure;
        // Words that name no book and no option of the form, such as
        // "paginor make book.cfg", get the usage as they always did.
        if (batch.Books().empty() && !options.AnyOption) {
            PrintUsage();
            return kExitUsage;
        }
        return batch.Run();
    } catch (const TUsageError& error) {
        PrintLine(error.what());
        return kExitUsage;
    } catch (const std::exception& error) {
        PrintLine(std::string("Error ") + error.what());
        return kExitFailure;
    }
}

int Run(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    if (!arguments.empty() && arguments.front() == "--version") return PrintVersion();
    PrintLine(kProgramTitle);
    PrintLine(kMakerCredit);
    if (argc < 2) {
        PrintUsage();
        return kExitUsage;
    }
    const std::u16string option = NormaliseOption(argv[1]);
    if (option == u"-serve") return ServeFolder(argc - 2, argv + 2);
    const bool known = option == u"-config" || option == u"-make" || option == u"-makeall";
    if (!known) {
        if (option != u"-help" && IsBatchForm(arguments)) return RunBatch(arguments);
        PrintUsage();
        return option == u"-help" ? kExitSuccess : kExitUsage;
    }
    const std::u16string name = argc > 2 ? TrimControls(FromUtf8(argv[2])) : u"";
    // Names are held as Unicode: a name that is not UTF-8 would come back as
    // another name, so -config would write a file the user did not name.
    if (argc > 2 && !IsValidUtf8(argv[2])) {
        PrintLine("Config file name " + ToUtf8(name) + " is not UTF-8; rename the file");
        return kExitFailure;
    }
    try {
        if (option == u"-config") return WriteExample(name);
        return MakeBooks(name, option == u"-makeall");
    } catch (const std::exception& error) {
        PrintLine(std::string("Error ") + error.what());
        return kExitFailure;
    }
}

} // namespace
} // namespace paginor

int main(int argc, char** argv) {
    paginor::EndOnStopSignals();
    const int status = paginor::Run(argc, argv);
    // Output that could not be written is a failure too (a full disk behind
    // a redirection, a closed pipe).
    std::cout.flush();
    return std::cout ? status : 1;
}
