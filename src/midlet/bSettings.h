// cfg.dat, the reader's settings file: big-endian 32-bit integers and
// length-prefixed UTF-16 big-endian strings, in a fixed order (see
// TBookMidlet::WriteSettings).
#pragma once

#include "config/bConfig.h"
#include "midlet/bOutputFile.h"
#include "text/bText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace paginor {

inline constexpr size_t kCheckStringUnits = 16;
inline constexpr int kCheckStringBase = 32;     // lowest code of a check unit
inline constexpr int kCheckStringRange = 30000; // codes 32 .. 30031
inline constexpr int kBookInfoTextIndex = 813;  // MidletTexts entry replaced by BookInfo

// The reader's two value kinds written into one open file.
class TSettingsWriter {
public:
    explicit TSettingsWriter(TOutputFile& file) : File(file) {}
    void WriteInt(int32_t value);
    void WriteString(std::u16string_view text);

private:
    TOutputFile& File;
};

// 16 pseudo-random code units 32 + [0, 30000), drawn from a generator seeded
// with the key: the same book (name and time) gets the same string, so that
// it gets the same JAR, and other books get others.
std::u16string MakeCheckString(std::string_view key);
// h := (2h mod 2^32) XOR ((s[i] XOR password XOR i) AND 0xFFFF) over the units.
int32_t PasswordCheckValue(std::u16string_view check, int32_t password);
// Colour scheme n counts when its back colour differs from its font colour.
int ValidColorSchemes(const TBookConfig& config);
// "l" + final position for jumps and headers, the target for every other kind.
std::u16string LinkString(const TLinkItem& link);

} // namespace paginor
