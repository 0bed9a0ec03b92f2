// The book text files: the full text and one space, cut into pieces of 4096
// UTF-16 code units, each unit masked with the password's low 16 bits and
// written big-endian ("book0.dat", "book1.dat", ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace paginor {

inline constexpr size_t kBookPieceUnits = 4096;

// The bytes of one book file: each code unit XOR the password, low 16 bits,
// most significant byte first.
std::string MaskedBookBytes(std::u16string_view piece, int32_t password);

// "book" + number + ".dat"
std::u16string BookFileName(size_t piece);

} // namespace paginor
