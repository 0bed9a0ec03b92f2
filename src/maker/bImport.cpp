#include "maker/bImport.h"

#include "core/bObject.h"
#include "core/bVar.h"
#include "platform/PictureConverter.h"

namespace paginor {

std::string SafeTagArgument(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '<' || c == '>' || c == '[' || c == ']') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

bool MakeCoverPicture(const TBookObject& log, const std::string& source, const std::string& target,
                      std::string_view name) {
    try {
        const TPictureConverter library; // started once for both steps
        const bool kept = TPictureConverter::MakePhonePng(
            ToPath(FromUtf8(source)), ToPath(FromUtf8(target)), kSmallestScreen);
        log.Log(7, kept ? "+ Cover picture kept as it is: " + target
                        : "+ Cover picture made a PNG within " +
                              std::to_string(kSmallestScreen.Width) + "x" +
                              std::to_string(kSmallestScreen.Height) + ": " + target);
        // The splash is in every part of the book: the smallest faithful PNG.
        if (const int64_t saved = TPictureConverter::MakeSmallestPng(ToPath(FromUtf8(target))))
            log.Log(7, "+ Cover picture made a 256-colour palette PNG, " + std::to_string(saved) +
                           " bytes smaller");
        return true;
    } catch (const std::exception& e) {
        log.Log(6, "? Cover picture " + std::string(name) + " is left out: " + e.what());
        return false;
    }
}

} // namespace paginor
