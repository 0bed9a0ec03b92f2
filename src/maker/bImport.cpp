#include "maker/bImport.h"

#include "core/bObject.h"
#include "core/bVar.h"
#include "platform/PictureConverter.h"

#include <algorithm>

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

namespace {

bool StartsWithAscii(std::string_view text, std::string_view lowerPrefix) {
    return text.size() >= lowerPrefix.size() &&
           LowerAscii(text.substr(0, lowerPrefix.size())) == lowerPrefix;
}

// The value of one parameter of a URI's query ("a=1&body=x"), decoded.
std::string QueryValue(std::string_view query, std::string_view lowerName) {
    size_t start = 0;
    while (start <= query.size()) {
        const size_t end = std::min(query.find('&', start), query.size());
        const std::string_view pair = query.substr(start, end - start);
        const size_t equals = pair.find('=');
        if (equals != std::string_view::npos && LowerAscii(pair.substr(0, equals)) == lowerName)
            return DecodePercentEscapes(pair.substr(equals + 1));
        start = end + 1;
    }
    return {};
}

} // namespace

std::optional<TDocumentLink> DocumentLinkOf(std::string_view address) {
    const std::string trimmed = TrimControls(address);
    const std::string_view a = trimmed;
    if (a.empty()) return std::nullopt;
    if (!HasUriScheme(a) || StartsWithAscii(a, "http:") || StartsWithAscii(a, "https:")) {
        if (!HasUriScheme(a) && a.find(' ') != std::string_view::npos) return std::nullopt;
        std::string target = SafeTagArgument(a);
        for (size_t blank = target.find(' '); blank != std::string::npos;
             blank = target.find(' ', blank))
            target.replace(blank, 1, "%20");
        return TDocumentLink{"http", target};
    }
    const bool phone = StartsWithAscii(a, "tel:");
    if (!phone && !StartsWithAscii(a, "sms:")) return std::nullopt;
    std::string_view rest = a.substr(4);
    if (rest.starts_with("//")) rest.remove_prefix(2);
    const size_t question = rest.find('?');
    const std::string number = TrimControls(DecodePercentEscapes(rest.substr(0, question)));
    if (number.empty()) return std::nullopt;
    if (phone) return TDocumentLink{"phone", SafeTagArgument(number)};
    const std::string body = question == std::string_view::npos
                                 ? std::string()
                                 : QueryValue(rest.substr(question + 1), "body");
    return TDocumentLink{"sms", SafeTagArgument(body.empty() ? number : number + ":" + body)};
}

std::string PlainLinkLine(std::string_view address) {
    return "? Hyperlink to " + std::string(address) +
           " stays plain text: a book links only to the web, a phone number, an SMS or a place "
           "inside it";
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
