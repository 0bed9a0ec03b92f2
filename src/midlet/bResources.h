// The reader program's class files and default pictures, compiled into the
// program in the stored form (byte i XOR (i AND 255)). The build generates
// their definitions from reader/ (see reader/CMakeLists.txt).
#pragma once

#include <cstddef>

namespace paginor {

struct TStoredResource {
    const char* Name;            // file name in the archive, e.g. "TBookMIDlet.class"
    const unsigned char* Stored; // stored bytes
    size_t Length;               // length in bytes
};

// The ten reader classes in the order they are written into a midlet:
// TBookCanvas, TBookN1Canvas, TBookN2Canvas, TBookCanvasInit, TBookMIDlet,
// TFont, TLoadableFont, TImage, TLinkItem, TSms.
extern const TStoredResource kReaderClasses[10];

// The default pictures: point.png, logo.png, linkl.png, linkp.png.
extern const TStoredResource kDefaultPictures[4];

} // namespace paginor
