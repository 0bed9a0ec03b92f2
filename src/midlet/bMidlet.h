// TBookMidlet: writes every file of one midlet into the work folder, packs it
// into the JAR and writes the JAD beside it.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"
#include "midlet/bResources.h"
#include "text/bText.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace paginor {

class TBookMidlet : public TBookObject {
public:
    explicit TBookMidlet(const TBookConfig& config) : Config(&config) {}

    std::string Name;              // midlet name (UTF-8)
    TBookText* BookText = nullptr; // not owned
    int32_t TextLength = 0;        // code units written to the book text files
    const TBookConfig* Config;     // not owned
    // The time the JAR's entries and the readme carry (Unix seconds): the
    // driver sets it from BookTime, so the same book gives the same JAR.
    int64_t EntryTime = 0;

    // Makes one complete midlet; raises "! Can't create java program (MIDlet)".
    void MakeMidlet(const std::string& name, TBookText& bookText);

    // Removes every plain file directly inside the folder.
    void ClearFolder(const std::u16string& folder) const;
    // Writes the bytes unchanged; I/O failures propagate.
    static void WriteAnsiFile(const std::string& bytes, const std::u16string& path);
    // Size in bytes, or -1 when the file cannot be measured.
    static int64_t GetFileSize(const std::u16string& path);

    // The steps of MakeMidlet, in order.
    void WriteManifest();
    void WriteReaderClasses();
    void WritePictures();
    void WriteBookText();
    // Writes one piece of the book text, masked with the password.
    void WriteBookTextFile(std::u16string_view piece, const std::u16string& path) const;
    void WriteFonts();          // bFonts.cpp
    void ConvertBookPictures(); // bPictures.cpp
    void WriteSettings();
    void WriteJarAndJad();
    // readme.txt, the last file of WriteSettings.
    void WriteReadme(const std::u16string& path) const;

    // Restores one embedded resource into a file.
    void WriteResource(const TStoredResource& resource, const std::u16string& path) const;

    // Loadable fonts (bFonts.cpp): renders one font of the character set into
    // the folder; returns the number of pieces written.
    int ConvertFont(const std::u16string& charset, const TFontDesc& font, int fontIndex,
                    const std::u16string& folder);

    // Book pictures (bPictures.cpp): converts or copies one picture into the
    // midlet folder; returns the written file's size or -1.
    int64_t ConvertPicture(const std::u16string& source, const std::u16string& archiveName,
                           const std::u16string& rule);
    static bool IsPngName(const std::u16string& name);

private:
    // Stores one book picture under the given number as the picture mode
    // says; returns its archive name (N.png or N.jpg).
    std::u16string StoreBookPicture(const std::u16string& source, const std::u16string& rule,
                                    int number);
    // StoreBookPicture, except that a picture file that cannot be read is
    // left out with a line: nothing then, and `number` stays.
    std::optional<std::u16string> TryStoreBookPicture(const std::u16string& source,
                                                      const std::u16string& rule, int& number);
    // Converts with ImageMagick, or writes the result of the same conversion
    // made earlier for this book.
    void ConvertOnce(const std::u16string& source, const std::vector<std::string>& options,
                     const std::u16string& target, bool png);

    // The book's converted pictures, by source file and options: a picture
    // shown many times, in one part or in several, is converted once.
    std::map<std::string, std::string> Conversions;
    size_t ConversionBytes = 0;
};

} // namespace paginor
