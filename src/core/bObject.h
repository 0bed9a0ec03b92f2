// TBookObject: the base of the program's own classes. It carries the progress
// log and the text file loader, so every object can report and read text.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace paginor {

// Every failure of a step is raised as a TBookError carrying one line of text
// (UTF-8). Components that give up a whole step log the inner message and
// raise a new one that begins "! Can't ".
class TBookError : public std::runtime_error {
public:
    explicit TBookError(const std::string& message) : std::runtime_error(message) {}
};

// The process-wide log threshold: 0 until the configuration reader sets it
// from DebugLevel. It is the program's only global state.
void SetLogThreshold(int threshold);
int LogThreshold();

class TBookObject {
public:
    // Prints "HH:MM:SS  message" on standard output when level is not above
    // the threshold. Levels: 3 failures, 6 main stages, 7 details.
    void Log(int level, const std::string& message) const;

    // Reads a whole text file and decodes it by its byte-order mark and size
    // (UTF-8 with mark, UTF-16 LE/BE with mark, otherwise single-byte text).
    // Raises TBookError with the system's error text when the file cannot be
    // read. `quiet` leaves out the log lines (a second reading of a file).
    std::u16string LoadTextFile(const std::u16string& fileName, bool quiet = false) const;
};

// Text that declares no encoding, decoded as the loader decodes single-byte
// text files: UTF-8 when it is valid UTF-8, otherwise the code page that
// uchardet detects, otherwise windows-1252.
std::u16string DecodeUndeclaredText(std::string_view bytes);
// Text in a named character set (any name iconv knows); nothing when the name
// is unknown or the bytes are not valid in it.
std::optional<std::u16string> DecodeCharsetText(std::string_view bytes, const std::string& charset);

} // namespace paginor
