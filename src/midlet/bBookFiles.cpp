#include "midlet/bBookFiles.h"

#include "core/bVar.h"
#include "midlet/bByteOrder.h"
#include "midlet/bMidlet.h"
#include "midlet/bOutputFile.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace paginor {

std::string MaskedBookBytes(std::u16string_view piece, int32_t password) {
    const uint16_t mask = static_cast<uint16_t>(static_cast<uint32_t>(password) & 0xFFFF);
    std::string bytes;
    bytes.reserve(piece.size() * 2);
    for (char16_t unit : piece)
        PutBigEndian16(bytes, static_cast<uint16_t>(unit ^ mask));
    return bytes;
}

std::u16string BookFileName(size_t piece) {
    return u"book" + IntToStr(static_cast<long long>(piece)) + u".dat";
}

void TBookMidlet::WriteBookTextFile(std::u16string_view piece, const std::u16string& path) const {
    TOutputFile file(ToPath(path));
    file.Write(MaskedBookBytes(piece, Config->Password));
    file.Close();
}

// The written text is the full text followed by one space; its length is
// TextLength, the first value of cfg.dat. It is cut into pieces straight from
// the book's parts, never made whole (a large book would be held twice).
void TBookMidlet::WriteBookText() {
    std::u16string path;
    try {
        Log(7, ".. Writing text files");
        const auto parts = BookText->FullTextPieces();
        std::vector<std::u16string_view> rest(parts.begin(), parts.end());
        rest.push_back(u" ");
        size_t total = 0;
        for (const std::u16string_view part : rest)
            total += part.size();
        TextLength = static_cast<int32_t>(total);
        size_t pieces = 0, next = 0;
        std::u16string piece;
        for (size_t start = 0; start < total; start += kBookPieceUnits, ++pieces) {
            piece.clear();
            while (piece.size() < kBookPieceUnits && next < rest.size()) {
                const size_t take = std::min(kBookPieceUnits - piece.size(), rest[next].size());
                piece.append(rest[next].substr(0, take));
                rest[next].remove_prefix(take);
                if (rest[next].empty()) ++next;
            }
            path = Config->Temp1Dir + u"/" + BookFileName(pieces);
            Log(7, "  .. Writing text file (" + std::to_string(pieces + 1) + ") " + ToUtf8(path));
            WriteBookTextFile(piece, path);
            Log(7, "+ Text file saved " + ToUtf8(path));
        }
        Log(6, "+ Total text files saved " + std::to_string(pieces));
    } catch (const std::exception& e) {
        Log(3, std::string("- ") + e.what());
        throw TBookError("! Can't save text file " + ToUtf8(path));
    }
}

} // namespace paginor
