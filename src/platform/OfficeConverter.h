// Office documents that Paginor does not read itself (DOC, RTF, ODT) are
// converted to DOCX by LibreOffice, run headless as a separate program: in a
// private temporary folder of its own, with a private profile (the user's
// LibreOffice settings and open documents are never touched), on a copy of
// the source (so no lock file appears beside it), within a time limit after
// which its whole process group is killed. The folder is removed afterwards.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace paginor {

struct TOfficeConversion {
    // The LibreOffice program; empty: "soffice", else "libreoffice", on PATH.
    std::filesystem::path Program;
    std::chrono::milliseconds TimeLimit{std::chrono::seconds(600)};
};

// The DOCX package LibreOffice makes of the document. Raises TBookError with
// one line when LibreOffice is not installed (naming the Debian package to
// install), cannot convert the document, or does not finish in time.
std::string ConvertToDocx(const std::filesystem::path& source,
                          const TOfficeConversion& conversion = {});

} // namespace paginor
