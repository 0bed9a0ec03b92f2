#include "midlet/bDescriptors.h"

#include "core/bVar.h"
#include "midlet/bMidlet.h"
#include "midlet/bOutputFile.h"

namespace paginor {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kMainClass = "TBookMIDlet";
constexpr const char* kIcon = "/logo.png";
constexpr const char* kConfiguration = "CLDC-1.0";
constexpr const char* kProfile = "MIDP-1.0";

// A manifest line holds at most 72 bytes before its line end; a longer one
// goes on in continuation lines that begin with one blank.
constexpr size_t kManifestLineBytes = 72;

// A line break inside a value would end the attribute early (and could start
// another one), and a NUL may not stand in one: each becomes a blank.
std::string Clean(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    return text;
}

// One line of the JAD or the readme.
std::string Line(const std::string& text) {
    return Clean(text) + kLineEnd;
}

// One manifest attribute, continued on further lines when it is longer than
// a manifest line may be. A cut never falls inside a UTF-8 sequence, so that
// every line is valid UTF-8 on its own.
std::string ManifestLine(const std::string& attribute) {
    const std::string text = Clean(attribute);
    std::string lines;
    size_t start = 0, room = kManifestLineBytes;
    while (text.size() - start > room) {
        size_t end = start + room;
        while (end > start + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        lines += text.substr(start, end - start) + kLineEnd + " ";
        start = end;
        room = kManifestLineBytes - 1; // after the leading blank
    }
    return lines + text.substr(start) + kLineEnd;
}

std::string MidletAttribute(const std::string& name) {
    return "MIDlet-1: " + name + ", " + kIcon + ", " + kMainClass;
}

} // namespace

std::string ComposeManifest(const std::string& name, const TBookConfig& config) {
    return ManifestLine("Manifest-Version: 1.0") + ManifestLine("MIDlet-Name: " + name) +
           ManifestLine("MIDlet-Vendor: " + ToUtf8(config.MidletVendor)) +
           ManifestLine(MidletAttribute(name)) +
           ManifestLine("MIDlet-Version: " + ToUtf8(config.MidletVersion)) +
           ManifestLine(std::string("MIDlet-Icon: ") + kIcon) +
           ManifestLine("MIDlet-Description: " + ToUtf8(config.MidletDescription)) +
           ManifestLine("MIDlet-Info-URL: " + ToUtf8(config.MidletInfoUrl)) +
           ManifestLine(std::string("MicroEdition-Configuration: ") + kConfiguration) +
           ManifestLine(std::string("MicroEdition-Profile: ") + kProfile);
}

// The JAD is not a manifest: its lines are never continued. The JAR's URL is
// relative to the JAD's and percent-encoded, as an installer fetching it over
// HTTP needs; the name itself stays UTF-8. An imported book's title and
// authors follow as Book-Title and Book-Author (attributes of our own, which
// phones pass over), for the index page of a folder of books.
std::string ComposeJad(const std::string& name, const TBookConfig& config, int64_t jarSize) {
    std::string jad =
        Line("MIDlet-Name: " + name) + Line("MIDlet-Version: " + ToUtf8(config.MidletVersion)) +
        Line("MIDlet-Vendor: " + ToUtf8(config.MidletVendor)) +
        Line("MIDlet-Description: " + ToUtf8(config.MidletDescription)) +
        Line("MIDlet-Info-URL: " + ToUtf8(config.MidletInfoUrl)) +
        Line(std::string("MicroEdition-Profile: ") + kProfile) +
        Line(std::string("MicroEdition-Configuration: ") + kConfiguration) +
        Line(std::string("MIDlet-Icon: ") + kIcon) +
        Line("MIDlet-Jar-URL: " + EncodePercentEscapes(name + ".jar")) +
        Line("MIDlet-Jar-Size: " + std::to_string(jarSize)) + Line(MidletAttribute(name));
    if (!TrimControls(config.BookTitle).empty())
        jad += Line("Book-Title: " + ToUtf8(TrimControls(config.BookTitle)));
    if (!TrimControls(config.BookAuthor).empty())
        jad += Line("Book-Author: " + ToUtf8(TrimControls(config.BookAuthor)));
    for (const std::u16string& custom : config.CustomMidletData)
        if (!TrimControls(custom).empty()) jad += Line(ToUtf8(custom));
    return jad;
}

std::string ComposeReadme(const TBookConfig& config, std::time_t time) {
    // UTC, so that the readme does not depend on the machine's time zone.
    std::tm utc{};
    gmtime_r(&time, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return "Java book [" + ToUtf8(config.BookName) + "] created from [" +
           ToUtf8(config.TextFileName) + "] file on " + stamp + kLineEnd + kLineEnd + kLineEnd +
           Line(kReadmeCredit);
}

void TBookMidlet::WriteReadme(const std::u16string& path) const {
    TOutputFile file(ToPath(path));
    file.Write(ComposeReadme(*Config, static_cast<std::time_t>(EntryTime)));
    file.Close();
}

} // namespace paginor
