// Placeholder: loadable fonts arrive with the font converter work.
#include "midlet/bMidlet.h"

namespace paginor {

void TBookMidlet::WriteFonts() {
    if (Config->FontCount() == 0) return;
    throw TBookError("Loadable fonts are not supported yet");
}

int TBookMidlet::ConvertFont(const std::u16string&, const TFontDesc&, int, const std::u16string&) {
    throw TBookError("Loadable fonts are not supported yet");
}

} // namespace paginor
