// Office documents that Paginor does not read itself (DOC, RTF, ODT) are
// converted to DOCX by LibreOffice, run headless as a separate program: in a
// private temporary folder of its own, with a private profile (the user's
// LibreOffice settings and open documents are never touched), on a copy of
// the source (so no lock file appears beside it), with its standard input
// closed, within a time limit after which its whole process group is killed.
// The folder is removed afterwards. A watchdog process ends LibreOffice and
// removes the folder when Paginor itself is killed; a folder that is left all
// the same (the machine went down) is removed by the next run.
//
// Nothing of the machine gets into the document: only RTF, Word (OLE) and
// zip-based (OpenDocument) files are handed to LibreOffice, and the fields of
// an RTF file that would make it read other files (INCLUDEPICTURE,
// INCLUDETEXT, ...) are taken out before it sees the file (platform/RtfFields.h).
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace paginor {

// The environment variable that sets the conversion's time limit, in
// seconds (a positive whole number); 600 seconds when it is not set.
constexpr const char* kOfficeTimeLimitVariable = "PAGINOR_OFFICE_TIME_LIMIT";
std::chrono::milliseconds OfficeTimeLimit();

struct TOfficeConversion {
    // The LibreOffice program; empty: "soffice", else "libreoffice", on PATH.
    std::filesystem::path Program;
    std::chrono::milliseconds TimeLimit = OfficeTimeLimit();
    // The temporary folder the private folders go in; empty: the system's.
    std::filesystem::path TempFolder{};
};

struct TOfficeResult {
    std::string Docx;
    // The field instructions taken out of the document before conversion.
    std::vector<std::string> RemovedFields;
};

// The DOCX package LibreOffice makes of the document. Raises TBookError with
// one line when LibreOffice is not installed (naming the Debian package to
// install), the file is no office document, LibreOffice cannot convert it,
// or does not finish in time.
TOfficeResult ConvertToDocx(const std::filesystem::path& source,
                            const TOfficeConversion& conversion = {});

// Removes the private folders in the temporary folder (the system's when
// empty) that a conversion of an ended run left behind.
void RemoveStaleOfficeFolders(const std::filesystem::path& tempFolder = {});

} // namespace paginor
