#include "midlet/bMidlet.h"

#include "core/bVar.h"
#include "midlet/bDescriptors.h"
#include "midlet/bOutputFile.h"
#include "midlet/bResources.h"
#include "midlet/jar/JarWriter.h"
#include "platform/PictureConverter.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iterator>

namespace paginor {

namespace {

namespace fs = std::filesystem;

std::u16string InFolder(const std::u16string& folder, std::u16string_view name) {
    return folder + u"/" + std::u16string(name);
}

// The name a midlet is written under. It names the JAR and JAD files and
// stands in the descriptors, where "MIDlet-1: name, icon, class" is split at
// commas: a comma in the name is dropped (with the blanks around it made one
// blank: "Tom, Jerry" becomes "Tom Jerry"), and leading dots, which would
// hide the files, are dropped. A name that is then empty, or that holds "/"
// or a control character (which would leave the output folder or break a
// line), or that is too long for a file name, is refused.
std::string SafeMidletName(const std::string& name) {
    std::string safe;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] != ',') {
            if (name[i] != '.' || !safe.empty()) safe += name[i];
            continue;
        }
        while (!safe.empty() && safe.back() == ' ')
            safe.pop_back();
        while (i + 1 < name.size() && name[i + 1] == ' ')
            ++i;
        if (!safe.empty() && i + 1 < name.size() && name[i + 1] != ',') safe += ' ';
    }
    const bool plain = std::none_of(safe.begin(), safe.end(), [](char c) {
        return c == '/' || static_cast<unsigned char>(c) < 32 || c == 127;
    });
    if (safe.empty() || !plain) throw TBookError("Wrong midlet name [" + name + "]");
    // The JAR's file name, NAME.jar, must fit the bytes a file system allows
    // for a name.
    constexpr size_t kLongestName = kLongestFileName - std::string_view(".jar").size();
    if (safe.size() > kLongestName)
        throw TBookError("Wrong midlet name [" + name + "]: it is " + std::to_string(safe.size()) +
                         " bytes long, and a file name takes at most " +
                         std::to_string(kLongestName) + " before its .jar");
    return safe;
}

const TStoredResource& DefaultPicture(std::string_view name) {
    const auto* found =
        std::find_if(std::begin(kDefaultPictures), std::end(kDefaultPictures),
                     [&](const TStoredResource& resource) { return resource.Name == name; });
    if (found == std::end(kDefaultPictures))
        throw TBookError("The built-in picture " + std::string(name) + " is missing");
    return *found;
}

// One fixed picture: the configured file, or the built-in default, or none.
struct TFixedPicture {
    const char* FileName;
    std::u16string TBookConfig::*Option; // nullptr: always the built-in picture
    const char* SavedLine;               // after a successful copy
    const char* DefaultLine;             // when the option is empty
    bool HasDefault;                     // false: an empty option removes the file
    const char* FailurePrefix;
};

const TFixedPicture kFixedPictures[] = {
    {"point.png", nullptr, "", "", true, ""},
    {"splash.png", &TBookConfig::SplashFileName, "+ Splash screen picture file saved ",
     "+ Splash screen picture file is not defined", false,
     "Can't save splash screen picture file ("},
    {"logo.png", &TBookConfig::IconFileName, "+ MIDlet icon file saved ",
     "+ Default MIDlet icon file saved", true, "Can' save MIDlet icon file ("},
    {"linkl.png", &TBookConfig::LinkLFileName, "+ Pointer picture file #1 saved ",
     "Default pointer picture file #1 saved", true, "Can't save pointer picture file #1 ("},
    {"linkp.png", &TBookConfig::LinkPFileName, "+ Pointer picture file #2 saved ",
     "Default pointer picture file #2 saved", true, "Can't save pointer picture file #2 ("},
    {"background.png", &TBookConfig::BackgroundFileName, "+ Background picture file saved ",
     "Background picture file is not defined", false, "Can't save background picture file ("},
};

} // namespace

void TBookMidlet::MakeMidlet(const std::string& name, TBookText& bookText) {
    Name = name;
    BookText = &bookText;
    TextLength = 0;
    Log(6, ".. Creating java program (MIDlet) " + Name);
    try {
        Name = SafeMidletName(name);
        if (Name != name)
            Log(6, "+ The midlet is named [" + Name + "] (commas and leading dots dropped)");
        ClearFolder(Config->Temp1Dir);
        ClearFolder(Config->MetaInfDir);
        WriteManifest();
        WriteReaderClasses();
        WritePictures();
        WriteBookText();
        WriteFonts();
        ConvertBookPictures();
        WriteSettings();
        WriteJarAndJad();
        ClearFolder(Config->Temp1Dir);
        ClearFolder(Config->MetaInfDir);
        Log(6, "+ Java program (MIDlet) created successfully " + Name);
    } catch (const std::exception& e) {
        Log(3, std::string("- ") + e.what());
        throw TBookError("! Can't create java program (MIDlet)");
    }
}

void TBookMidlet::ClearFolder(const std::u16string& folder) const {
    Log(7, ".. Removing files from directory " + ToUtf8(folder) + "/");
    std::error_code ec;
    fs::directory_iterator it(ToPath(folder), ec);
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        const std::u16string path = InFolder(folder, FromPath(it->path().filename()));
        std::error_code removeError;
        fs::remove(ToPath(path), removeError);
        Log(7, "+ File removed " + ToUtf8(path));
    }
}

void TBookMidlet::WriteAnsiFile(const std::string& bytes, const std::u16string& path) {
    TOutputFile file(ToPath(path));
    file.Write(bytes);
    file.Close();
}

int64_t TBookMidlet::GetFileSize(const std::u16string& path) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(ToPath(path), ec);
    if (ec) return -1;
    return static_cast<int64_t>(size);
}

void TBookMidlet::WriteManifest() {
    const std::u16string path = InFolder(Config->MetaInfDir, u"MANIFEST.MF");
    try {
        Log(7, ".. Writing MANIFEST file " + ToUtf8(path));
        WriteAnsiFile(ComposeManifest(Name, *Config), path);
        Log(7, "+ MANIFEST file saved " + ToUtf8(path));
    } catch (const std::exception& e) {
        Log(3, std::string("- ") + e.what());
        throw TBookError("! Can't save MANIFEST file " + ToUtf8(path));
    }
}

void TBookMidlet::WriteResource(const TStoredResource& resource, const std::u16string& path) const {
    try {
        Log(7, ".. Writing file " + ToUtf8(path));
        WriteAnsiFile(RestoredResource(resource), path);
        Log(7,
            "+ File saved " + ToUtf8(path) + " (size " + std::to_string(resource.Size) + " bytes)");
    } catch (const std::exception& e) {
        Log(3, std::string("- ") + e.what());
        throw TBookError("Can't save file " + ToUtf8(path));
    }
}

void TBookMidlet::WriteReaderClasses() {
    for (const TStoredResource& resource : kReaderClasses)
        WriteResource(resource, InFolder(Config->Temp1Dir, Widen(resource.Name)));
}

void TBookMidlet::WritePictures() {
    for (const TFixedPicture& picture : kFixedPictures) {
        const std::u16string target = InFolder(Config->Temp1Dir, Widen(picture.FileName));
        const std::u16string option =
            picture.Option ? Config->ResolveFileName(Config->*picture.Option) : u"";
        if (option.empty()) {
            if (picture.HasDefault) {
                const TStoredResource& resource = DefaultPicture(picture.FileName);
                WriteResource(resource, target);
            } else {
                std::error_code ec;
                fs::remove(ToPath(target), ec);
            }
            if (*picture.DefaultLine) Log(7, picture.DefaultLine);
            continue;
        }
        // The reader and MIDP 1.0 need PNG: another picture is converted, and
        // a file that is not a picture is refused, so that nothing but a
        // picture reaches the archive.
        bool copied = false;
        try {
            copied = TPictureConverter::MakePhonePng(ToPath(option), ToPath(target));
        } catch (const std::exception& e) {
            Log(3, std::string("- ") + e.what());
            const std::string message = std::string(picture.FailurePrefix) + "0) " +
                                        ToUtf8(option) + " -> " + ToUtf8(target);
            Log(3, "- " + message);
            throw TBookError("! " + message);
        }
        if (!copied) Log(7, "+ Converted to PNG: " + ToUtf8(option));
        Log(7, picture.SavedLine + ToUtf8(option) + " -> " + ToUtf8(target));
    }
}

// The JAR and the JAD are written under temporary names in the output folder
// and put in place together only when both are complete, so that a failure,
// a full disk or a killed run leaves the previous midlet as it was, and two
// runs writing the same name leave one complete pair.
void TBookMidlet::WriteJarAndJad() {
    const std::u16string jarPath = InFolder(Config->OutputDir, FromUtf8(Name) + u".jar");
    const std::u16string jadPath = InFolder(Config->OutputDir, FromUtf8(Name) + u".jad");
    std::u16string path = jarPath;
    try {
        Log(6, ".. Writing jar file " + ToUtf8(path));
        TOutputFolder output(ToPath(Config->OutputDir));
        const fs::path jarTemporary = output.TemporaryFile(Name + ".jar");
        TJarWriter jar(jarTemporary, Config->JarCompression, EntryTime);
        jar.AddFolderFiles(ToPath(Config->Temp1Dir));
        jar.Finish();
        const int64_t size = GetFileSize(FromPath(jarTemporary));
        Log(6, "+ JAR file saved " + ToUtf8(path));

        path = jadPath;
        Log(6, ".. Writing jad file " + ToUtf8(path));
        const fs::path jadTemporary = output.TemporaryFile(Name + ".jad");
        TOutputFile jad(jadTemporary);
        jad.Write(ComposeJad(Name, *Config, size));
        jad.Close(true);
        output.Replace({{jarTemporary, Name + ".jar"}, {jadTemporary, Name + ".jad"}});
        Log(6, "+ JAD files saved " + ToUtf8(path));
    } catch (const std::exception& e) {
        Log(3, std::string("-") + e.what());
        throw TBookError("! Can't create JAR/JAD file " + ToUtf8(path));
    }
}

} // namespace paginor
