// The reader program's class files and default pictures, compiled into the
// program as raw deflate streams, compressed once when the program is built
// at libdeflate's highest level, in the stored form (byte i XOR (i AND 255)).
// The build generates their definitions from reader/ (see
// reader/CMakeLists.txt). A midlet copies the streams into its JAR as they
// are (TJarWriter::AddDeflatedEntry with Size and Crc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace paginor {

struct TStoredResource {
    const char* Name;            // file name in the archive, e.g. "TBookMIDlet.class"
    const unsigned char* Stored; // the deflate stream, stored form
    size_t Length;               // length of the stream in bytes
    size_t Size;                 // length of the file in bytes
    uint32_t Crc;                // CRC-32 of the file
};

// The ten reader classes in the order they are written into a midlet:
// TBookCanvas, TBookN1Canvas, TBookN2Canvas, TBookCanvasInit, TBookMIDlet,
// TFont, TLoadableFont, TImage, TLinkItem, TSms.
extern const TStoredResource kReaderClasses[10];

// The default pictures: point.png, logo.png, linkl.png, linkp.png.
extern const TStoredResource kDefaultPictures[4];

// The resource's raw deflate stream.
std::string DeflatedResource(const TStoredResource& resource);
// The resource's file: its stream inflated. Raises TBookError when the stream
// does not restore Size bytes with the CRC recorded.
std::string RestoredResource(const TStoredResource& resource);

} // namespace paginor
