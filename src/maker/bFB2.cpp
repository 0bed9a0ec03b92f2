// Placeholder: the FB2 importer arrives with its own work.
#include "maker/bFB2.h"

namespace paginor {

std::u16string ImportFictionBook(const TBookObject&, TBookConfig&, const std::u16string&,
                                 const std::u16string&) {
    throw TBookError("FB2 books are not supported yet");
}

} // namespace paginor
