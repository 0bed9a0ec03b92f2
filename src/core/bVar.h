// Small shared helpers: conversions between UTF-16 (the program's text type)
// and UTF-8 (console, file names, manifest), Unicode lower-casing, trimming,
// and big-/little-endian byte writers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace paginor {

// UTF-16 -> UTF-8. Unpaired surrogates become U+FFFD so the result is valid.
std::string ToUtf8(std::u16string_view text);
// UTF-8 -> UTF-16. Invalid sequences become U+FFFD.
std::u16string FromUtf8(std::string_view text);
// Strict UTF-8: no overlong forms, no encoded surrogates, nothing above
// U+10FFFF, no sequence cut short. Exactly the text FromUtf8 takes without
// a U+FFFD of its own, so that ToUtf8 gives it back unchanged.
bool IsValidUtf8(std::string_view bytes);
// ASCII/Latin-1 literal helper: widens every byte to one code unit.
std::u16string Widen(std::string_view ascii);

// A UTF-16 file name as a path for the file system (UTF-8 on Linux).
std::filesystem::path ToPath(std::u16string_view name);
std::u16string FromPath(const std::filesystem::path& path);
// The most bytes a file system (ext4, btrfs, tmpfs...) allows in one name.
constexpr size_t kLongestFileName = 255;

// Simple (one-to-one) Unicode lower-case mapping of every BMP code unit;
// surrogates and characters without a lower-case form are kept.
char16_t LowerChar(char16_t c);
std::u16string LowerCase(std::u16string_view text);
// Only the ASCII letters lower-cased (markup names, media types, charsets).
std::string LowerAscii(std::string_view text);

// Removes every character of code U+0020 or lower from both ends.
std::u16string_view TrimControlsView(std::u16string_view text);
std::u16string TrimControls(std::u16string_view text);
std::string TrimControls(std::string_view text);
// Every run of characters of code U+0020 or lower becomes one blank, and
// none is kept at either end: "  a\n\tb " -> "a b".
std::string CollapseBlanks(std::string_view text);

// The text without the marks that only guide line breaking and show nothing
// (soft hyphen, zero-width space, word joiner, zero-width no-break space):
// the reader breaks lines at blanks and hyphens only and a phone's font
// draws such a mark as a box or a stray hyphen. UTF-8 in and out.
std::string WithoutInvisibleMarks(std::string_view text);

// URI references: "%20" -> " " (a "%" without two hexadecimal digits after
// it stays), and whether the reference begins with a scheme ("http:",
// "file:", "data:", also a drive letter "C:").
std::string DecodePercentEscapes(std::string_view text);
bool HasUriScheme(std::string_view reference);
// The text as one URI path segment (RFC 3986): every byte but the unreserved
// letters, digits and "-._~" becomes "%XX", so blanks, non-ASCII (its UTF-8
// bytes) and reserved characters such as "/", "?", "#" and "%" are escaped.
std::string EncodePercentEscapes(std::string_view text);

// Decimal text of an integer.
std::u16string IntToStr(long long value);
// Upper-case hexadecimal text of a value, zero-padded to `digits`.
std::string IntToHex(uint32_t value, int digits);

} // namespace paginor

namespace paginor {

// Writes a whole file, replacing an existing one but never following a
// symbolic link in its place. Raises TBookError "Can't create file NAME:
// reason" or "Can't write file NAME: reason".
void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

// Reads a whole file into memory with one read. Raises TBookError with a short
// system message ("File not found", "File access denied", ...) on failure.
std::string ReadWholeFile(const std::filesystem::path& path);

// The error text for an errno value, in the words the program's messages use.
std::string SystemErrorText(int error);

// The time a book's files are stamped with (Unix seconds), so that the same
// book gives the same JAR: SOURCE_DATE_EPOCH when the environment sets it
// (the reproducible-builds convention), else the source file's modification
// time, else, for a source that cannot be read, the present time. Raises
// TBookError when SOURCE_DATE_EPOCH is set but is not a count of seconds.
int64_t BookTime(const std::filesystem::path& source);

} // namespace paginor
