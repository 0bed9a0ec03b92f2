#include "config/bConfig.h"

#include "core/bVar.h"

#include <filesystem>

namespace paginor {

TBookConfig::TBookConfig()
    : MidletVersion(Widen(kProgramVersion)), MidletVendor(u"Orvantis"),
      MidletInfoUrl(Widen(kMakerSite)), MidletDescription(u"test book"),
      ImagePngOptions(u"-resize 160x128> -depth 8"),
      ImageJpgOptions(u"-resize 160x128> -quality 100 -depth 8"), MidletTexts(kMidletTexts) {
    BackColor[0] = 0xffffff;
    LinkColor[0] = 0xff;
}

std::u16string TBookConfig::ResolveFileName(const std::u16string& name) const {
    for (const std::u16string* dir : {&ExeDir, &SourceDir, &StartDir, &ConfigDir}) {
        if (dir->empty() && dir != &ExeDir && dir != &SourceDir) continue;
        std::u16string candidate = *dir + name;
        std::error_code ec;
        if (!candidate.empty() && std::filesystem::is_regular_file(ToPath(candidate), ec))
            return candidate;
    }
    return name;
}

int TBookConfig::FontCount() const {
    int count = 0;
    for (const auto& font : Fonts)
        if (font) ++count;
    return count;
}

void TBookConfig::ReadConfig(const std::u16string& fileName) {
    throw TBookError("Can't read config file " + ToUtf8(fileName));
}

void TBookConfig::WriteExampleConfig(const std::u16string& fileName) const {
    throw TBookError("Cant't save config file " + ToUtf8(fileName));
}

} // namespace paginor
