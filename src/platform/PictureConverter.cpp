#include "platform/PictureConverter.h"

#include "core/bObject.h"
#include "core/bVar.h"

#include <wand/MagickWand.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <system_error>

namespace paginor {

namespace {

// Only the four picture coders may read or write; no delegate program, no
// script, vector, text or network coder, no "@file" argument lists.
constexpr const char* kSecurityPolicy = R"(<policymap>
  <policy domain="delegate" rights="none" pattern="*"/>
  <policy domain="coder" rights="none" pattern="*"/>
  <policy domain="coder" rights="read|write" pattern="{PNG,JPEG,GIF,BMP}"/>
  <policy domain="path" rights="none" pattern="@*"/>
</policymap>)";

// Resource limits. The pixel cache stays in memory up to kMemoryLimit (a
// system policy may lower it: Debian's allows 256 MiB); the pixels of a
// larger picture go to a temporary file of at most kDiskLimit, mapped into
// memory up to kMapLimit. ImageMagick's own time limit is not used: it counts
// from the first picture of the process and then ends the whole process.
// Each conversion gets its own deadline through the progress monitor.
constexpr MagickSizeType kMemoryLimit = 256ull << 20;
constexpr MagickSizeType kMapLimit = 512ull << 20;
constexpr MagickSizeType kDiskLimit = 1ull << 30;
constexpr MagickSizeType kListLengthLimit = 16;
// What the pixel cache takes per pixel: the pixel and, for a palette
// picture (a 1-bit PNG is one), its index.
constexpr MagickSizeType kPixelBytes = sizeof(PixelPacket) + sizeof(IndexPacket);
// The largest picture the converter accepts fits twice: as read and as a
// result of the same size.
static_assert(2 * TPictureConverter::kMaxPixels * kPixelBytes <= kMemoryLimit + kDiskLimit);

std::string Mebibytes(MagickSizeType bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB";
}

// The room the pixel cache really has: the limits set here, or lower ones
// that the system's policy imposes.
std::string PixelRoom() {
    return Mebibytes(GetMagickResourceLimit(MemoryResource)) + " of memory and " +
           Mebibytes(GetMagickResourceLimit(DiskResource)) + " of temporary disk";
}

// "30", "0.5": a time in seconds as people write it.
std::string Seconds(std::chrono::milliseconds time) {
    std::ostringstream text;
    text << std::chrono::duration<double>(time).count();
    return text.str();
}

// The deadline of one conversion, checked whenever ImageMagick reports
// progress (every row of a resize, a read or a write); a false answer stops
// the operation.
struct TDeadline {
    std::chrono::steady_clock::time_point Until;
    bool Passed = false;
};

MagickBooleanType CheckDeadline(const char*, const MagickOffsetType, const MagickSizeType,
                                void* data) {
    TDeadline& deadline = *static_cast<TDeadline*>(data);
    if (std::chrono::steady_clock::now() < deadline.Until) return MagickTrue;
    deadline.Passed = true;
    return MagickFalse;
}

// ----- the allow-list -----

enum class TValueKind { None, Geometry, Integer, Word, Color };

struct TOptionRule {
    std::string_view Name;
    TValueKind Kind;
    int Min = 0; // Integer
    int Max = 0;
    std::string_view Words = {}; // Word: blank-separated choices
};

constexpr std::string_view kGravities =
    "northwest north northeast west center east southwest south southeast none forget";
constexpr std::string_view kTypes = "bilevel grayscale grayscalealpha grayscalematte palette "
                                    "palettealpha palettematte truecolor truecoloralpha "
                                    "truecolormatte optimize";
constexpr std::string_view kFilters =
    "point box triangle hermite hanning hamming blackman gaussian quadratic cubic catrom "
    "mitchell lanczos";

constexpr std::array kOptionRules = {
    TOptionRule{"-resize", TValueKind::Geometry},
    TOptionRule{"-thumbnail", TValueKind::Geometry},
    TOptionRule{"-scale", TValueKind::Geometry},
    TOptionRule{"-sample", TValueKind::Geometry},
    TOptionRule{"-extent", TValueKind::Geometry},
    TOptionRule{"-rotate", TValueKind::Geometry},
    TOptionRule{"-depth", TValueKind::Integer, 1, 16},
    TOptionRule{"-quality", TValueKind::Integer, 0, 100},
    TOptionRule{"-colors", TValueKind::Integer, 2, 65536},
    TOptionRule{"-posterize", TValueKind::Integer, 2, 256},
    TOptionRule{"-gravity", TValueKind::Word, 0, 0, kGravities},
    TOptionRule{"-type", TValueKind::Word, 0, 0, kTypes},
    TOptionRule{"-colorspace", TValueKind::Word, 0, 0, "gray rgb srgb"},
    TOptionRule{"-interlace", TValueKind::Word, 0, 0, "none line plane partition jpeg png gif"},
    TOptionRule{"-dither", TValueKind::Word, 0, 0, "none riemersma floydsteinberg"},
    TOptionRule{"-filter", TValueKind::Word, 0, 0, kFilters},
    TOptionRule{"-background", TValueKind::Color},
    TOptionRule{"+dither", TValueKind::None},
    TOptionRule{"+repage", TValueKind::None},
    TOptionRule{"-strip", TValueKind::None},
    TOptionRule{"-monochrome", TValueKind::None},
    TOptionRule{"-normalize", TValueKind::None},
    TOptionRule{"-flip", TValueKind::None},
    TOptionRule{"-flop", TValueKind::None},
    TOptionRule{"-trim", TValueKind::None},
    TOptionRule{"-negate", TValueKind::None},
    TOptionRule{"-auto-orient", TValueKind::None},
};

const TOptionRule* FindOptionRule(std::string_view name) {
    for (const auto& rule : kOptionRules)
        if (rule.Name == name) return &rule;
    return nullptr;
}

bool IsGeometry(std::string_view value) {
    return value.size() <= 32 && value.find_first_of("0123456789") != std::string_view::npos &&
           value.find_first_not_of("0123456789x.%!<>^@+-") == std::string_view::npos;
}

bool IsInteger(std::string_view value, int min, int max) {
    if (value.empty() || value.size() > 6 ||
        value.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    const int number = std::stoi(std::string(value));
    return number >= min && number <= max;
}

bool IsWordOf(std::string_view value, std::string_view words) {
    const std::string lower = LowerAscii(value);
    size_t start = 0;
    while (start < words.size()) {
        size_t end = words.find(' ', start);
        if (end == std::string_view::npos) end = words.size();
        if (words.substr(start, end - start) == lower) return true;
        start = end + 1;
    }
    return false;
}

bool IsColor(std::string_view value) {
    return !value.empty() && value.size() <= 32 &&
           std::all_of(value.begin(), value.end(),
                       [](unsigned char c) { return std::isalnum(c) || c == '#'; });
}

bool IsValueAllowed(const TOptionRule& rule, std::string_view value) {
    switch (rule.Kind) {
    case TValueKind::Geometry:
        return IsGeometry(value);
    case TValueKind::Integer:
        return IsInteger(value, rule.Min, rule.Max);
    case TValueKind::Word:
        return IsWordOf(value, rule.Words);
    case TValueKind::Color:
        return IsColor(value);
    case TValueKind::None:
        break;
    }
    return true;
}

// ----- picture headers -----

uint32_t BigEndian32(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint32_t BigEndian16(const unsigned char* p) {
    return (uint32_t{p[0]} << 8) | p[1];
}
uint32_t LittleEndian16(const unsigned char* p) {
    return (uint32_t{p[1]} << 8) | p[0];
}
uint32_t LittleEndian32(const unsigned char* p) {
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kHeaderBytes = 32;

// JPEG: the frame header (SOF0 to SOF15 but DHT, JPG and DAC) holds the size;
// walks the marker segments from the start of the file to it.
void ReadJpegSize(std::ifstream& file, TPictureInfo& info) {
    file.clear();
    file.seekg(2);
    for (int segments = 0; segments < 1000; ++segments) {
        int byte = file.get();
        while (byte == 0xFF)
            byte = file.get();
        if (byte == EOF) return;
        const int marker = byte;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue; // no length
        if (marker == 0xD9 || marker == 0xDA) return; // end or scan before any frame
        unsigned char head[7];
        if (!file.read(reinterpret_cast<char*>(head), 2)) return;
        const uint32_t length = BigEndian16(head);
        if (length < 2) return;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (!file.read(reinterpret_cast<char*>(head + 2), 5)) return;
            info.Height = BigEndian16(head + 3);
            info.Width = BigEndian16(head + 5);
            return;
        }
        file.seekg(length - 2, std::ios::cur);
    }
}

// ----- library handles -----

struct TImageInfoDeleter {
    void operator()(ImageInfo* info) const { DestroyImageInfo(info); }
};
struct TExceptionInfoDeleter {
    void operator()(ExceptionInfo* exception) const { DestroyExceptionInfo(exception); }
};
using TImageInfoPtr = std::unique_ptr<ImageInfo, TImageInfoDeleter>;
using TExceptionInfoPtr = std::unique_ptr<ExceptionInfo, TExceptionInfoDeleter>;

// "reason `file' @ error/png.c/ReadPNGImage/4115" -> "reason `file'".
std::string WithoutLocation(const char* text) {
    std::string reason = text ? text : "";
    const size_t at = reason.rfind(" @ ");
    if (at != std::string::npos) reason.erase(at);
    return reason;
}

// The most telling error of a failed conversion. A coder that gives up on a
// picture (damaged data, or no room for its pixels) often leaves only the
// command's own "no images defined", which says nothing about the picture;
// a picture whose pixels need more than the memory limit had to go to the
// temporary disk, so there the room is the likelier cause.
std::string ConversionFailure(const ExceptionInfo& exception, MagickSizeType pixelBytes) {
    std::string reason = WithoutLocation(exception.reason);
    if (exception.description && *exception.description)
        reason += std::string(" (") + exception.description + ")";
    if (!reason.empty() && !reason.starts_with("no images defined")) return reason;
    if (pixelBytes > GetMagickResourceLimit(MemoryResource))
        return "the converter ran out of room for the picture's pixels (" + Mebibytes(pixelBytes) +
               "; it may use " + PixelRoom() + ")";
    return "the picture data is damaged or cannot be decoded";
}

// ImageMagick reads "%d" and the like in file names as scene numbers and
// expands wildcards; "%%" stands for "%", and names with wildcard or bracket
// characters are refused outright.
std::string ConverterFileArgument(const char* coder, const std::filesystem::path& path,
                                  const char* suffix) {
    const std::string name = std::filesystem::absolute(path).string();
    if (name.find_first_of("*?{}[]") != std::string::npos)
        throw TBookError("the path " + name +
                         " holds one of * ? { } [ ], which the converter would expand");
    std::string argument = coder;
    for (char c : name) {
        if (c == '%') argument += '%';
        argument += c;
    }
    return argument + suffix;
}

// A JPEG that is shrunk anyway can be decoded at 1/2, 1/4 or 1/8 of its
// size, which saves most of the work. When the first option shrinks to a
// plain "WxH" box, the decoder is asked for at least twice that box, so the
// resize still starts from more pixels than it keeps. A picture that is not
// larger than that on both sides gets no hint: the decoder would enlarge it.
std::string JpegSizeHint(const TPictureInfo& info, const std::vector<std::string>& options) {
    if (info.Format != TPictureFormat::Jpeg || options.size() < 2) return {};
    const std::string& name = options[0];
    if (name != "-resize" && name != "-thumbnail" && name != "-scale" && name != "-sample")
        return {};
    std::string box = options[1];
    while (!box.empty() && (box.back() == '>' || box.back() == '!' || box.back() == '^'))
        box.pop_back();
    const size_t x = box.find('x');
    if (x == 0 || x == std::string::npos || x + 1 == box.size() || box.size() > 11 ||
        box.find_first_not_of("0123456789x") != std::string::npos ||
        box.find('x', x + 1) != std::string::npos)
        return {};
    const long width = 2 * std::stol(box.substr(0, x)), height = 2 * std::stol(box.substr(x + 1));
    if (info.Width <= width || info.Height <= height) return {};
    return std::to_string(width) + "x" + std::to_string(height);
}

const char* CoderName(TPictureFormat format) {
    switch (format) {
    case TPictureFormat::Png:
        return "png:";
    case TPictureFormat::Jpeg:
        return "jpeg:";
    case TPictureFormat::Gif:
        return "gif:";
    case TPictureFormat::Bmp:
        return "bmp:";
    }
    return "png:";
}

struct TWandDeleter {
    void operator()(MagickWand* wand) const { DestroyMagickWand(wand); }
};
using TWandPtr = std::unique_ptr<MagickWand, TWandDeleter>;

// The wand's picture softened by a small blur, for comparing a dithered
// picture with its original as an eye does.
TWandPtr Softened(MagickWand* wand) {
    TWandPtr copy(CloneMagickWand(wand));
    MagickBlurImage(copy.get(), 0, 1.0);
    return copy;
}

} // namespace

TPictureConverter::TPictureConverter(std::chrono::milliseconds timeLimit) : TimeLimit(timeLimit) {
    if (IsMagickWandInstantiated() == MagickFalse) {
        MagickWandGenesis();
        OwnsLibrary = true;
    }
    // The policy stays in force until the library ends; a coder that it denies
    // tells whether it is already loaded, so it is never loaded twice.
    if (IsRightsAuthorized(CoderPolicyDomain, ReadPolicyRights, "MSL") != MagickFalse) {
        TExceptionInfoPtr exception(AcquireExceptionInfo());
        if (SetMagickSecurityPolicy(kSecurityPolicy, exception.get()) == MagickFalse ||
            IsRightsAuthorized(CoderPolicyDomain, ReadPolicyRights, "MSL") != MagickFalse) {
            if (OwnsLibrary) MagickWandTerminus();
            throw TBookError("Can't put the picture converter's security policy in force");
        }
    }
    SetMagickResourceLimit(WidthResource, kMaxSide);
    SetMagickResourceLimit(HeightResource, kMaxSide);
    SetMagickResourceLimit(AreaResource, kMaxPixels);
    SetMagickResourceLimit(MemoryResource, kMemoryLimit);
    SetMagickResourceLimit(MapResource, kMapLimit);
    SetMagickResourceLimit(DiskResource, kDiskLimit);
    SetMagickResourceLimit(ListLengthResource, kListLengthLimit);
}

TPictureConverter::~TPictureConverter() {
    if (OwnsLibrary) MagickWandTerminus();
}

TPictureInfo TPictureConverter::Inspect(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) throw TBookError("File not found");
    // Checked before opening: reading a FIFO or a device could block forever.
    if (!std::filesystem::is_regular_file(status))
        throw TBookError("not a PNG, JPEG, GIF or BMP picture (not a plain file)");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw TBookError("File access denied");
    unsigned char head[kHeaderBytes] = {};
    file.read(reinterpret_cast<char*>(head), kHeaderBytes);
    const size_t got = static_cast<size_t>(file.gcount());

    TPictureInfo info;
    if (got >= 24 && std::equal(std::begin(kPngSignature), std::end(kPngSignature), head)) {
        info.Format = TPictureFormat::Png;
        if (std::string_view(reinterpret_cast<const char*>(head + 12), 4) == "IHDR") {
            info.Width = BigEndian32(head + 16);
            info.Height = BigEndian32(head + 20);
        }
    } else if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) {
        info.Format = TPictureFormat::Jpeg;
        ReadJpegSize(file, info);
    } else if (got >= 10 &&
               (std::string_view(reinterpret_cast<const char*>(head), 6) == "GIF87a" ||
                std::string_view(reinterpret_cast<const char*>(head), 6) == "GIF89a")) {
        info.Format = TPictureFormat::Gif;
        info.Width = LittleEndian16(head + 6);
        info.Height = LittleEndian16(head + 8);
    } else if (got >= 26 && head[0] == 'B' && head[1] == 'M') {
        info.Format = TPictureFormat::Bmp;
        if (LittleEndian32(head + 14) == 12) { // the old OS/2 header: 16-bit sizes
            info.Width = LittleEndian16(head + 18);
            info.Height = LittleEndian16(head + 20);
        } else {
            info.Width = LittleEndian32(head + 18);
            const int32_t height = static_cast<int32_t>(LittleEndian32(head + 22));
            info.Height = height == INT32_MIN ? 0u : static_cast<uint32_t>(std::abs(height));
        }
    } else {
        throw TBookError("not a PNG, JPEG, GIF or BMP picture");
    }
    return info;
}

void TPictureConverter::CheckOptions(const std::vector<std::string>& options) {
    if (options.size() > kMaxOptions)
        throw TBookError("the rule has " + std::to_string(options.size()) +
                         " options, more than the ten a picture may use");
    for (size_t i = 0; i < options.size(); ++i) {
        const TOptionRule* rule = FindOptionRule(options[i]);
        if (!rule) throw TBookError("the option " + options[i] + " is not allowed for pictures");
        if (rule->Kind == TValueKind::None) continue;
        if (i + 1 == options.size())
            throw TBookError("the option " + options[i] + " needs a value");
        ++i;
        if (!IsValueAllowed(*rule, options[i]))
            throw TBookError("the option " + options[i - 1] + " does not allow the value " +
                             options[i]);
    }
}

void TPictureConverter::Convert(const std::filesystem::path& source, const TPictureInfo& info,
                                const std::vector<std::string>& options,
                                const std::filesystem::path& target,
                                TPictureFormat targetFormat) const {
    if (info.Width == 0 || info.Height == 0)
        throw TBookError("the picture's header gives no size (damaged file?)");
    if (info.Width > kMaxSide || info.Height > kMaxSide ||
        uint64_t{info.Width} * info.Height > kMaxPixels)
        throw TBookError("the picture is too large: " + std::to_string(info.Width) + "x" +
                         std::to_string(info.Height) + " pixels (at most " +
                         std::to_string(kMaxSide) + " on a side and " +
                         std::to_string(kMaxPixels / 1'000'000) + " million pixels)");
    const MagickSizeType pixelBytes = MagickSizeType{info.Width} * info.Height * kPixelBytes;
    if (pixelBytes > GetMagickResourceLimit(MemoryResource) + GetMagickResourceLimit(DiskResource))
        throw TBookError("the picture needs " + Mebibytes(pixelBytes) +
                         " for its pixels, more than the converter may use (" + PixelRoom() + ")");
    CheckOptions(options);

    // "[0]": the first frame only, so an animated GIF gives one picture.
    std::vector<std::string> arguments = {"convert"};
    arguments.push_back(ConverterFileArgument(CoderName(info.Format), source, "[0]"));
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(ConverterFileArgument(CoderName(targetFormat), target, ""));
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());

    TImageInfoPtr imageInfo(AcquireImageInfo());
    TExceptionInfoPtr exception(AcquireExceptionInfo());
    if (const std::string hint = JpegSizeHint(info, options); !hint.empty())
        SetImageOption(imageInfo.get(), "jpeg:size", hint.c_str());
    TDeadline deadline{std::chrono::steady_clock::now() + TimeLimit};
    SetImageInfoProgressMonitor(imageInfo.get(), CheckDeadline, &deadline);
    const bool done = ConvertImageCommand(imageInfo.get(), static_cast<int>(argv.size()),
                                          argv.data(), nullptr, exception.get()) != MagickFalse;
    // Warnings are not failures.
    if (done && exception->severity < ErrorException && !deadline.Passed) return;
    std::error_code ignored;
    std::filesystem::remove(target, ignored); // a failed conversion may leave a file
    if (deadline.Passed)
        throw TBookError("the conversion took longer than its time limit of " + Seconds(TimeLimit) +
                         " seconds");
    throw TBookError(ConversionFailure(*exception, pixelBytes));
}

bool TPictureConverter::MakePhonePng(const std::filesystem::path& source,
                                     const std::filesystem::path& target,
                                     std::optional<TPictureBox> box) {
    try {
        if (box && (box->Width == 0 || box->Height == 0))
            throw TBookError("the box " + std::to_string(box->Width) + "x" +
                             std::to_string(box->Height) + " holds no picture");
        const TPictureInfo info = Inspect(source);
        const bool fits =
            !box || (info.Width > 0 && info.Width <= box->Width && info.Height <= box->Height);
        if (info.Format == TPictureFormat::Png && fits) {
            std::filesystem::copy_file(source, target,
                                       std::filesystem::copy_options::overwrite_existing);
            return true;
        }
        std::vector<std::string> options;
        if (box)
            options = {"-resize",
                       std::to_string(box->Width) + "x" + std::to_string(box->Height) + ">"};
        options.insert(options.end(), {"-depth", "8"});
        TPictureConverter converter;
        converter.Convert(source, info, options, target, TPictureFormat::Png);
        return false;
    } catch (const std::exception& error) {
        throw TBookError("Can't convert picture file " + source.string() + " -> " +
                         target.string() + ": " + error.what());
    }
}

int64_t TPictureConverter::MakeSmallestPng(const std::filesystem::path& path) {
    const TPictureConverter library; // the policy and the limits
    const std::string original = ReadWholeFile(path);
    TWandPtr full(NewMagickWand());
    if (MagickSetFormat(full.get(), "PNG") == MagickFalse ||
        MagickReadImageBlob(full.get(), original.data(), original.size()) == MagickFalse)
        throw TBookError("the picture cannot be read for a palette version");
    if (MagickGetImageAlphaChannel(full.get()) != MagickFalse ||
        MagickGetImageColors(full.get()) <= 256)
        return 0;
    TWandPtr palette(CloneMagickWand(full.get()));
    // Error diffusion keeps smooth light smooth; its colour cache makes the
    // step take about 130 MB for a moment, whatever the picture's size.
    MagickSetOption(palette.get(), "dither", "FloydSteinberg");
    if (MagickQuantizeImage(palette.get(), 256, sRGBColorspace, 0, MagickTrue, MagickFalse) ==
            MagickFalse ||
        MagickSetImageType(palette.get(), PaletteType) == MagickFalse)
        return 0;
    MagickSetImageDepth(palette.get(), 8);
    MagickStripImage(palette.get());
    size_t length = 0;
    unsigned char* blob = MagickGetImageBlob(palette.get(), &length);
    if (!blob) return 0;
    const std::string smaller(reinterpret_cast<const char*>(blob), length);
    MagickRelinquishMemory(blob);
    if (smaller.size() >= original.size()) return 0;
    double error = 1;
    TWandPtr softFull = Softened(full.get()), softPalette = Softened(palette.get());
    TWandPtr difference(
        MagickCompareImages(softFull.get(), softPalette.get(), RootMeanSquaredErrorMetric, &error));
    if (!difference || error > kPaletteTolerance) return 0;
    WriteWholeFile(path, smaller);
    return static_cast<int64_t>(original.size() - smaller.size());
}

} // namespace paginor
