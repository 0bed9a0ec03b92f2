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

std::string Line(const std::string& text) {
    return text + kLineEnd;
}

std::string MidletLine(const std::string& name) {
    return Line("MIDlet-1: " + name + ", " + kIcon + ", " + kMainClass);
}

} // namespace

std::string ComposeManifest(const std::string& name, const TBookConfig& config) {
    return Line("Manifest-Version: 1.0") + Line("MIDlet-Name: " + name) +
           Line("MIDlet-Vendor: " + ToUtf8(config.MidletVendor)) + MidletLine(name) +
           Line("MIDlet-Version: " + ToUtf8(config.MidletVersion)) +
           Line(std::string("MIDlet-Icon: ") + kIcon) +
           Line("MIDlet-Description: " + ToUtf8(config.MidletDescription)) +
           Line("MIDlet-Info-URL: " + ToUtf8(config.MidletInfoUrl)) +
           Line(std::string("MicroEdition-Configuration: ") + kConfiguration) +
           Line(std::string("MicroEdition-Profile: ") + kProfile);
}

std::string ComposeJad(const std::string& name, const TBookConfig& config, int64_t jarSize) {
    std::string jad =
        Line("MIDlet-Name: " + name) + Line("MIDlet-Version: " + ToUtf8(config.MidletVersion)) +
        Line("MIDlet-Vendor: " + ToUtf8(config.MidletVendor)) +
        Line("MIDlet-Description: " + ToUtf8(config.MidletDescription)) +
        Line("MIDlet-Info-URL: " + ToUtf8(config.MidletInfoUrl)) +
        Line(std::string("MicroEdition-Profile: ") + kProfile) +
        Line(std::string("MicroEdition-Configuration: ") + kConfiguration) +
        Line(std::string("MIDlet-Icon: ") + kIcon) + Line("MIDlet-Jar-URL: " + name + ".jar") +
        Line("MIDlet-Jar-Size: " + std::to_string(jarSize)) + MidletLine(name);
    for (const std::u16string& custom : config.CustomMidletData)
        if (!TrimControls(custom).empty()) jad += Line(ToUtf8(custom));
    return jad;
}

std::string ComposeReadme(const TBookConfig& config, std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    return "Java book [" + ToUtf8(config.BookName) + "] created from [" +
           ToUtf8(config.TextFileName) + "] file on " + stamp + kLineEnd + kLineEnd + kLineEnd +
           Line(kReadmeCredit);
}

void TBookMidlet::WriteReadme(const std::u16string& path) const {
    TOutputFile file(ToPath(path));
    file.Write(ComposeReadme(*Config, std::time(nullptr)));
    file.Close();
}

} // namespace paginor
