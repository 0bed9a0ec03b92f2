// The book's own pictures: every picture record of the text is copied or
// converted into the midlet folder under a short numbered name, and its link
// is rewritten to that name for cfg.dat.
#include "midlet/bMidlet.h"

#include "core/bVar.h"
#include "midlet/bOutputFile.h"
#include "platform/PictureConverter.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <system_error>

namespace paginor {

namespace {

// ImageMode values.
constexpr int kModeCopy = 1;    // as they are, without the converter
constexpr int kModeSmaller = 2; // JPEG and PNG, keep the smaller
constexpr int kModePng = 3;
constexpr int kModeJpeg = 4;

constexpr char16_t kPictureKind = u'I';     // an inline picture
constexpr char16_t kPictureLinkKind = u'i'; // a link that shows a picture
constexpr std::u16string_view kNoResize = u"noresize";
// Converted pictures kept for reuse within one book, at most.
constexpr size_t kMaxConversionBytes = 64u << 20;

// The argument of a picture tag: an optional rule in square brackets, then
// the file name.
struct TPictureReference {
    std::u16string Rule;
    std::u16string FileName;
};

TPictureReference SplitReference(const std::u16string& reference) {
    const size_t open = reference.find(u'[');
    if (open == std::u16string::npos) return {u"", reference};
    const size_t close = reference.find(u']', open + 1);
    if (close == std::u16string::npos) return {TrimControls(reference.substr(open + 1)), reference};
    return {TrimControls(reference.substr(open + 1, close - open - 1)),
            TrimControls(reference.substr(close + 1))};
}

// The rule's options, split at runs of blanks; no option is empty.
std::vector<std::string> SplitRule(std::u16string_view rule) {
    std::vector<std::string> options;
    size_t start = 0;
    while (start < rule.size()) {
        if (rule[start] == u' ') {
            ++start;
            continue;
        }
        size_t end = rule.find(u' ', start);
        if (end == std::u16string_view::npos) end = rule.size();
        options.push_back(ToUtf8(rule.substr(start, end - start)));
        start = end;
    }
    return options;
}

std::u16string TrimBlanks(std::u16string_view text) {
    const size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) return {};
    return std::u16string(text.substr(first, text.find_last_not_of(u' ') - first + 1));
}

// The entry of the folder whose name equals the wanted one when case is
// ignored; the smallest such name when there are several.
std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      const std::filesystem::path& wanted) {
    const std::u16string key = LowerCase(FromPath(wanted));
    std::optional<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto name = entry.path().filename();
        if (LowerCase(FromPath(name)) == key && (!found || name < *found)) found = name;
    }
    return found;
}

// Follows the path one component at a time, each matched without regard to
// case when the exact spelling does not exist.
std::optional<std::filesystem::path> MatchIgnoringCase(const std::filesystem::path& path) {
    std::filesystem::path current = path.has_root_path() ? path.root_path() : ".";
    std::error_code error;
    for (const auto& part : path.relative_path()) {
        if (part == "." || part == ".." || std::filesystem::exists(current / part, error)) {
            current /= part;
            continue;
        }
        const auto match = FindIgnoringCase(current, part);
        if (!match) return std::nullopt;
        current /= *match;
    }
    if (!std::filesystem::is_regular_file(current, error)) return std::nullopt;
    return path.has_root_path() ? current : current.lexically_relative(".");
}

std::u16string FindPictureFile(const TBookConfig& config, const std::u16string& name) {
    const std::u16string resolved = config.ResolveFileName(name);
    std::error_code error;
    if (name.empty() || std::filesystem::is_regular_file(ToPath(resolved), error)) return resolved;
    // Tag arguments arrive lower-cased; on a file system that tells case apart
    // the picture is looked for with its letters in any case, in the same
    // folders and order as ResolveFileName.
    std::vector<std::u16string> candidates;
    if (ToPath(name).is_absolute()) {
        candidates.push_back(name);
    } else {
        for (const std::u16string* dir :
             {&config.ExeDir, &config.SourceDir, &config.StartDir, &config.ConfigDir})
            if (!dir->empty()) candidates.push_back(*dir + name);
    }
    for (const auto& candidate : candidates)
        if (const auto match = MatchIgnoringCase(ToPath(candidate))) return FromPath(*match);
    return resolved;
}

// The path a picture file is known by, whatever the spelling that found it
// (symbolic links followed); empty when the file does not exist.
std::filesystem::path FileKey(const std::u16string& source) {
    std::error_code error;
    auto key = std::filesystem::canonical(ToPath(source), error);
    return error ? std::filesystem::path() : key;
}

TPictureFormat PictureFormatOf(const std::u16string& source, const std::u16string& target) {
    try {
        return TPictureConverter::Inspect(ToPath(source)).Format;
    } catch (const TBookError& error) {
        throw TBookError("Can't convert picture file " + ToUtf8(source) + " -> " + ToUtf8(target) +
                         ": " + error.what());
    }
}

// What tells one conversion from another: the source file as it is now (its
// path, size and time of change), the options and the target format; empty
// when the source cannot be found.
std::string ConversionKey(const std::u16string& source, const std::vector<std::string>& options,
                          bool png) {
    const std::filesystem::path path = FileKey(source);
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return {};
    std::string key = path.string() + '\0' + std::to_string(info.st_size) + '\0' +
                      std::to_string(info.st_mtim.tv_sec) + '.' +
                      std::to_string(info.st_mtim.tv_nsec) + '\0' + (png ? "png" : "jpeg");
    for (const std::string& option : options)
        key += '\0' + option;
    return key;
}

void ConvertWithMagick(const std::u16string& source, const std::vector<std::string>& options,
                       const std::u16string& target, TPictureFormat targetFormat) {
    try {
        TPictureConverter converter;
        const auto info = TPictureConverter::Inspect(ToPath(source));
        converter.Convert(ToPath(source), info, options, ToPath(target), targetFormat);
    } catch (const TBookError& error) {
        throw TBookError("Can't convert picture file " + ToUtf8(source) + " -> " + ToUtf8(target) +
                         ": " + error.what());
    }
}

void CheckRuleOptions(const std::u16string& source, const std::vector<std::string>& options,
                      bool png) {
    try {
        TPictureConverter::CheckOptions(options);
    } catch (const TBookError& error) {
        throw TBookError("Can't convert picture file " + ToUtf8(source) + " to " +
                         (png ? "PNG" : "JPEG") + ": " + error.what());
    }
}

void CopyPicture(const TBookObject& log, const std::u16string& source,
                 const std::u16string& target) {
    try {
        // Checked first, so a book cannot pack a file that is not a picture.
        TPictureConverter::Inspect(ToPath(source));
        std::filesystem::copy_file(ToPath(source), ToPath(target),
                                   std::filesystem::copy_options::overwrite_existing);
    } catch (const std::exception& error) {
        log.Log(3, "- " + ToUtf8(source) + ": " + error.what());
        const std::string message =
            "Can't save picture file " + ToUtf8(source) + " -> " + ToUtf8(target);
        log.Log(3, "- " + message);
        throw TBookError("! " + message);
    }
}

} // namespace

bool TBookMidlet::IsPngName(const std::u16string& name) {
    return name.size() >= 4 && LowerCase(name.substr(name.size() - 4)) == u".png";
}

void TBookMidlet::ConvertBookPictures() {
    const int mode = Config->ImageMode;
    if (mode < kModeCopy || mode > kModeJpeg) return; // 0: not imported; others: untouched
    // One converter for the whole midlet keeps the library running between
    // pictures; mode 1 never needs it.
    std::optional<TPictureConverter> converter;
    if (mode != kModeCopy) converter.emplace();

    // The archive name each source file got, by its canonical path, so that a
    // picture link to a file already stored leads to that stored picture.
    std::map<std::filesystem::path, std::u16string> stored;
    auto remember = [&](const std::u16string& source, const std::u16string& name) {
        if (const auto key = FileKey(source); !key.empty()) stored.emplace(key, name);
    };

    // Inline pictures first, numbered in Links order. A tag that shows a file
    // already stored with the same rule shows that stored picture: a picture
    // used many times is stored once. Two rules give two pictures (mode 1
    // copies whatever the rule says).
    std::map<std::pair<std::filesystem::path, std::u16string>, std::u16string> shown;
    int number = 1;
    for (auto& link : BookText->Links) {
        if (link.Kind != kPictureKind) continue;
        const TPictureReference reference = SplitReference(link.Target.substr(1));
        Log(7, ".. Analyzing link to picture " + ToUtf8(link.Target));
        const std::u16string source = FindPictureFile(*Config, reference.FileName);
        const auto key = std::make_pair(FileKey(source), mode == kModeCopy ? u"" : reference.Rule);
        if (const auto found = key.first.empty() ? shown.end() : shown.find(key);
            found != shown.end()) {
            link.Target = kPictureKind + found->second;
            Log(7, "+ Picture file " + ToUtf8(source) + " is stored already as " +
                       ToUtf8(found->second));
            continue;
        }
        const auto name = TryStoreBookPicture(source, reference.Rule, number);
        link.Target = kPictureKind + name.value_or(u"");
        if (!name) continue;
        remember(source, *name);
        if (!key.first.empty()) shown.emplace(key, *name);
    }

    // Then picture links, whose target is a file name: they lead to the
    // picture stored from that file, which is converted with the default rule
    // under the next number when no inline picture or earlier link stored it.
    for (auto& link : BookText->Links) {
        if (link.Kind != kPictureLinkKind) continue;
        Log(7, ".. Analyzing link to picture " + ToUtf8(link.Target));
        const std::u16string source = FindPictureFile(*Config, TrimControls(link.Target.substr(1)));
        const auto key = FileKey(source);
        const auto found = key.empty() ? stored.end() : stored.find(key);
        if (found != stored.end()) {
            link.Target = kPictureLinkKind + found->second;
            Log(7, "+ Picture link leads to picture file " + ToUtf8(found->second));
            continue;
        }
        const auto name = TryStoreBookPicture(source, u"", number);
        link.Target = kPictureLinkKind + name.value_or(u"");
        if (name) remember(source, *name);
    }
}

// A picture of the book that is there but cannot be read (damaged, cut
// short, of a kind no phone shows) is left out, said in one line, and the
// book is built without it: its record names no picture, which the reader
// shows as nothing. A picture file that does not exist still fails the book:
// the user's own tag names it. Returns the archive name and advances
// `number` when the picture was stored.
std::optional<std::u16string> TBookMidlet::TryStoreBookPicture(const std::u16string& source,
                                                               const std::u16string& rule,
                                                               int& number) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(ToPath(source), error))
        return StoreBookPicture(source, rule, number++);
    // A rule the converter refuses is the tag's fault, not the picture's.
    const int mode = Config->ImageMode;
    for (const bool png : {true, false}) {
        if ((mode == kModePng && !png) || (mode == kModeJpeg && png) || mode == kModeCopy) continue;
        const std::u16string& chosen = !rule.empty() ? rule
                                       : png         ? Config->ImagePngOptions
                                                     : Config->ImageJpgOptions;
        if (LowerCase(TrimBlanks(chosen)) != kNoResize)
            CheckRuleOptions(source, SplitRule(chosen), png);
    }
    try {
        TPictureConverter::Inspect(ToPath(source));
        const std::u16string name = StoreBookPicture(source, rule, number);
        ++number;
        return name;
    } catch (const TBookError& failure) {
        // Whatever the attempt left under the number goes; the next picture
        // takes the number.
        for (const char16_t* extension : {u".jpg", u".png"})
            std::filesystem::remove(ToPath(Config->Temp1Dir + u"/" + IntToStr(number) + extension),
                                    error);
        Log(6, "? Picture " + ToUtf8(source) + " can't be read and is left out: " + failure.what());
        return std::nullopt;
    }
}

std::u16string TBookMidlet::StoreBookPicture(const std::u16string& source,
                                             const std::u16string& rule, int number) {
    const int mode = Config->ImageMode;
    const std::u16string base = IntToStr(number);
    if (mode == kModeSmaller) {
        const std::u16string jpgName = base + u".jpg";
        const std::u16string pngName = base + u".png";
        const int64_t jpgSize = ConvertPicture(source, jpgName, rule);
        const int64_t pngSize = ConvertPicture(source, pngName, rule);
        // The smaller wins, the PNG on a tie; a candidate that left no file
        // loses to one that did (the JPEG when neither did).
        const bool pngWins = pngSize != -1 && (jpgSize == -1 || pngSize <= jpgSize);
        std::error_code ignored;
        std::filesystem::remove(ToPath(Config->Temp1Dir + u"/" + (pngWins ? jpgName : pngName)),
                                ignored);
        return pngWins ? pngName : jpgName;
    }
    const bool png = mode == kModePng || (mode == kModeCopy && IsPngName(source));
    const std::u16string name = base + (png ? u".png" : u".jpg");
    ConvertPicture(source, name, mode == kModeCopy ? std::u16string(kNoResize) : rule);
    return name;
}

int64_t TBookMidlet::ConvertPicture(const std::u16string& source, const std::u16string& archiveName,
                                    const std::u16string& rule) {
    const bool pngTarget = IsPngName(archiveName);
    const std::u16string& chosen = !rule.empty() ? rule
                                   : pngTarget   ? Config->ImagePngOptions
                                                 : Config->ImageJpgOptions;
    const TPictureFormat targetFormat = pngTarget ? TPictureFormat::Png : TPictureFormat::Jpeg;
    const std::u16string target = Config->Temp1Dir + u"/" + archiveName;
    const std::string start =
        ".. Writing picture file " + ToUtf8(source) + " -> " + ToUtf8(archiveName);

    if (LowerCase(TrimBlanks(chosen)) != kNoResize) {
        const std::vector<std::string> options = SplitRule(chosen);
        Log(7, start + " using ImageMagic, rule  " + std::to_string(options.size()) + " [" +
                   ToUtf8(chosen) + "]");
        ConvertOnce(source, options, target, pngTarget);
    } else if (Config->ImageMode == kModeCopy || PictureFormatOf(source, target) == targetFormat) {
        Log(7, start + " without resize and convert (as is), rule [" + ToUtf8(chosen) + "]");
        CopyPicture(*this, source, target);
    } else {
        Log(7, start + " without resize (format conversion), rule [" + ToUtf8(chosen) + "]");
        ConvertOnce(source, {}, target, pngTarget);
    }

    const int64_t size = GetFileSize(target);
    Log(7, "+ Picture file saved " + ToUtf8(target) + " (" + std::to_string(size) + " bytes)");
    return size;
}

void TBookMidlet::ConvertOnce(const std::u16string& source, const std::vector<std::string>& options,
                              const std::u16string& target, bool png) {
    const std::string key = ConversionKey(source, options, png);
    if (const auto found = key.empty() ? Conversions.end() : Conversions.find(key);
        found != Conversions.end()) {
        TOutputFile file(ToPath(target));
        file.Write(found->second);
        file.Close();
        Log(7, "+ Picture converted earlier for this book: " + ToUtf8(source));
        return;
    }
    ConvertWithMagick(source, options, target, png ? TPictureFormat::Png : TPictureFormat::Jpeg);
    const int64_t size = GetFileSize(target);
    if (key.empty() || size < 0 ||
        ConversionBytes + static_cast<size_t>(size) > kMaxConversionBytes)
        return;
    Conversions.emplace(key, ReadWholeFile(ToPath(target)));
    ConversionBytes += static_cast<size_t>(size);
}

} // namespace paginor
