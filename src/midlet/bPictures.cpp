// Placeholder: book pictures arrive with the picture conversion work.
#include "midlet/bMidlet.h"

#include "core/bVar.h"

namespace paginor {

void TBookMidlet::ConvertBookPictures() {
    if (Config->ImageMode == 0) return;
    for (const auto& link : BookText->Links)
        if (link.Kind == 'I') throw TBookError("Book pictures are not supported yet");
}

int64_t TBookMidlet::ConvertPicture(const std::u16string&, const std::u16string&,
                                    const std::u16string&) {
    throw TBookError("Book pictures are not supported yet");
}

bool TBookMidlet::IsPngName(const std::u16string& name) {
    return name.size() >= 4 && LowerCase(name.substr(name.size() - 4)) == u".png";
}

} // namespace paginor
