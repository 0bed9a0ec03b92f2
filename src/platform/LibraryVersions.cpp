#include "platform/LibraryVersions.h"

#include <ft2build.h>
#include <wand/MagickWand.h>
#include FT_FREETYPE_H
#include <libdeflate.h>
#include <libxml/parser.h>
#include <zip.h>
#include <zlib.h>

#include <cstdlib>

namespace paginor {

namespace {

// libxml2 tells its version as one number, 20914 for 2.9.14.
std::string DottedXmlVersion() {
    const long number = std::strtol(xmlParserVersion, nullptr, 10);
    return std::to_string(number / 10000) + "." + std::to_string(number / 100 % 100) + "." +
           std::to_string(number % 100);
}

std::string FreeTypeVersion() {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return std::to_string(FREETYPE_MAJOR) + "." + std::to_string(FREETYPE_MINOR);
    FT_Int major = 0, minor = 0, patch = 0;
    FT_Library_Version(library, &major, &minor, &patch);
    FT_Done_FreeType(library);
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

// "ImageMagick 7.1.1-43 Q16-HDRI x86_64 ...": the version is the second word.
std::string ImageMagickVersion() {
    size_t number = 0;
    const std::string text = MagickGetVersion(&number);
    const size_t start = text.find(' ');
    if (start == std::string::npos) return text;
    return text.substr(start + 1, text.find(' ', start + 1) - start - 1);
}

} // namespace

std::vector<std::string> LibraryVersionLines() {
    return {
        std::string("zlib ") + zlibVersion(),
        std::string("libdeflate ") + LIBDEFLATE_VERSION_STRING,
        "libxml2 " + DottedXmlVersion(),
        std::string("libzip ") + zip_libzip_version(),
        "FreeType " + FreeTypeVersion(),
        "ImageMagick " + ImageMagickVersion(),
        std::string("uchardet ") + PAGINOR_UCHARDET_VERSION,
    };
}

} // namespace paginor
