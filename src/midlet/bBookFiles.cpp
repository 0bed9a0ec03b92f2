#include "midlet/bBookFiles.h"

#include "core/bVar.h"
#include "midlet/bByteOrder.h"
#include "midlet/bMidlet.h"
#include "midlet/bOutputFile.h"

#include <algorithm>
#include <exception>

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
// TextLength, the first value of cfg.dat.
void TBookMidlet::WriteBookText() {
    std::u16string path;
    try {
        Log(7, ".. Writing text files");
        const std::u16string text = BookText->FullText() + u" ";
        TextLength = static_cast<int32_t>(text.size());
        size_t pieces = 0;
        for (size_t start = 0; start < text.size(); start += kBookPieceUnits, ++pieces) {
            path = Config->Temp1Dir + u"/" + BookFileName(pieces);
            Log(7, "  .. Writing text file (" + std::to_string(pieces + 1) + ") " + ToUtf8(path));
            const size_t length = std::min(text.size() - start, kBookPieceUnits);
            WriteBookTextFile(std::u16string_view(text).substr(start, length), path);
            Log(7, "+ Text file saved " + ToUtf8(path));
        }
        Log(6, "+ Total text files saved " + std::to_string(pieces));
    } catch (const std::exception& e) {
        Log(3, std::string("- ") + e.what());
        throw TBookError("! Can't save text file " + ToUtf8(path));
    }
}

} // namespace paginor
