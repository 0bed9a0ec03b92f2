// The commented example configuration that "-config" writes: the user manual
// of every option and reader text, with example values. Options print the
// record's values, except the display options, TagsEn, ImageMode and
// MidletInfoUrl, which print what a book gets when its configuration lacks
// the key: a book made from the example with only its name and file filled
// in then reads like one made from a configuration without those lines.
#include "config/bConfig.h"

#include "core/bVar.h"
#include "midlet/bByteOrder.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace paginor {

namespace {

// Composes the example as UTF-16 text: comment lines ("#" + text) and option
// blocks ("#", "#" + key + ": " + comment, key + "=" + value), CR LF after
// every line.
class TExampleText {
public:
    void WriteCommentLine(std::u16string_view comment) {
        Text += u'#';
        Text += comment;
        Text += u"\r\n";
    }
    void WriteOption(std::u16string_view key, std::u16string_view value,
                     std::u16string_view comment) {
        WriteCommentLine(u"");
        WriteCommentLine(std::u16string(key) + u": " + std::u16string(comment));
        Text += key;
        Text += u'=';
        Text += value;
        Text += u"\r\n";
    }
    void WriteOption(std::u16string_view key, int value, std::u16string_view comment) {
        WriteOption(key, IntToStr(value), comment);
    }
    void WriteOption(std::u16string_view key, bool value, std::u16string_view comment) {
        WriteOption(key, value ? u"true" : u"false", comment);
    }
    void WriteOption(std::u16string_view key, const char16_t* value, std::u16string_view comment) {
        WriteOption(key, std::u16string_view(value), comment);
    }

    const std::u16string& Content() const { return Text; }

private:
    std::u16string Text;
};

// One reader-interface text of the localization section. In its value and
// comment, "{site}" stands for the maker's web address and "{url}" for the
// same address with its scheme.
struct TExampleMidletText {
    int Key;
    const char16_t* Value;
    const char16_t* Comment;
};

struct TExampleTextGroup {
    const char16_t* Title;
    std::initializer_list<TExampleMidletText> Texts;
};

std::u16string Numbered(std::u16string_view base, int n) {
    return std::u16string(base) + IntToStr(n);
}

void WriteBasicOptions(TExampleText& out, const TBookConfig& config) {
    out.WriteCommentLine(u"This is example of config file for Paginor " + Widen(kProgramVersion));
    out.WriteCommentLine(u"Config file must be in UNICODE format");
    out.WriteCommentLine(u"Read more on " + Widen(kMakerSite));
    out.WriteCommentLine(u"");
    out.WriteCommentLine(u"**** Basic book options ****");
    out.WriteOption(u"BookName", config.BookName,
                    u"[string] name of output java book (midlet), for example testbook");
    out.WriteOption(u"BookInfo", config.BookInfo,
                    u"[string] addition information about book - author, publisher, year etc");
    out.WriteOption(u"TextFileName", config.TextFileName, u"[string] source text file");
    out.WriteOption(u"OutputDir", config.OutputDir, u"[string] directory for output files");
    out.WriteOption(u"LinkLFileName", config.LinkLFileName,
                    u"[string] full path to small image in PNG format which will used as "
                    u"pointer image for hyperlinks for landscape display mode");
    out.WriteOption(u"LinkPFileName", config.LinkPFileName,
                    u"[string] full path to small image in PNG format which will used as "
                    u"pointer image for hyperlinks for portrait display mode");
    out.WriteOption(u"BackgroundFileName", config.BackgroundFileName,
                    u"[string] full path to image in PNG format which will used as background "
                    u"image below text");
    out.WriteOption(u"PasswordMode", config.PasswordMode,
                    u"[integer] 0 - no password, 1 - ask for password once, 2 - ask for "
                    u"password every time");
    out.WriteOption(u"Password", config.Password,
                    u"[integer] 3..6 digits code (password) for text encryption");
}

void WriteAdvancedOptions(TExampleText& out, const TBookConfig& config) {
    out.WriteCommentLine(u"");
    out.WriteCommentLine(u"**** Advanced book options ****");
    out.WriteCommentLine(u"Parameters placed into JAD/JAR files");
    out.WriteOption(u"MidletVersion", config.MidletVersion,
                    u"[string] version of output java midltes, for example 1.0, 2.0");
    out.WriteOption(u"MidletVendor", config.MidletVendor,
                    u"[string] java book publisher for example Orvantis");
    out.WriteOption(u"MidletInfoUrl", Widen(kMakerSiteUrl),
                    u"[string] url like " + Widen(kMakerSiteUrl));
    out.WriteOption(u"MidletDescription", config.MidletDescription,
                    u"[string] short decription of midlet");
    for (int n = 1; n <= kCustomMidletData; ++n)
        out.WriteOption(Numbered(u"CustomMidletData", n), config.CustomMidletData[n - 1],
                        u"[string] additional custom midlet data" + IntToStr(n) +
                            u"  in format key: value, for example Nokia-MIDlet-Category: Game");
    out.WriteOption(u"IconFileName", config.IconFileName,
                    u"[string] full path to small (64*64, depends on phone) image in PNG format "
                    u"which will used as icon for midlet");
    out.WriteOption(u"DebugLevel", config.DebugLevel,
                    u"[integer] 1..7, 7 - most detailed (a lot of messages)");
    out.WriteOption(u"JarCompression", config.JarCompression,
                    u"[integer] 1..12, how hard the JAR is compressed: 1 - fastest (the "
                    u"default), 12 - smallest JAR, for phones that limit its size");
}

void WriteFontOptions(TExampleText& out, const TBookConfig& config) {
    out.WriteCommentLine(u"");
    out.WriteCommentLine(u"**** Font options ****");
    out.WriteCommentLine(u"Program can copy up to 3 Windows fonts into output midlets to display "
                         u"text in the same way on ANY phone.");
    out.WriteCommentLine(u"But each embedded font adds about 2-12 kb to output midlet.");
    out.WriteCommentLine(u"Anyway lectoria is able to display text using phone up to 12 types of "
                         u"phone fonts. But these fonts are manufacturer dependent.");
    for (int n = 1; n <= kFontSlots; ++n) {
        const auto& font = config.Fonts[n - 1];
        const std::u16string digit = IntToStr(n);
        auto flag = [&](bool value) -> std::u16string {
            return font ? (value ? u"true" : u"false") : u"";
        };
        out.WriteOption(Numbered(u"FontSize", n), font ? IntToStr(font->Size) : u"",
                        u"[integer] font" + digit + u" size, for example " + IntToStr(n + 8));
        out.WriteOption(Numbered(u"FontName", n), font ? font->Name : u"",
                        u"[string] font" + digit + u" name, for example Arial");
        out.WriteOption(Numbered(u"Font.Bold", n), flag(font && font->Bold),
                        u"[true, false] is font" + digit + u" bold type");
        out.WriteOption(Numbered(u"Font.Italic", n), flag(font && font->Italic),
                        u"[true, false] is font" + digit + u" italic type");
    }
}

void WriteMultipartOptions(TExampleText& out, const TBookConfig& config) {
    out.WriteCommentLine(u"");
    out.WriteCommentLine(u"**** Multipart options ****");
    out.WriteCommentLine(u"Program can divide large source texts into several output midlets due "
                         u"to midlet size is limited on some phones.");
    out.WriteCommentLine(u"There are 4 possible cases:");
    out.WriteCommentLine(u"1) TextPartSize=0 and TextPartCount=0 multipart is disabled. All the "
                         u"source data (text, pictures) will be put to a single output midlet.");
    out.WriteCommentLine(u"2) TextPartSize > 0 and TextPartCount=0 multipart is enabled. Number of "
                         u"output parts (midltes) is calculated by TextSize/TextPartSize. Size of "
                         u"text in each part is not great than TextPartSize");
    out.WriteCommentLine(u"3)  TextPartSize = 0 and TextPartCount > 0 multipart is enabled. Number "
                         u"of output parts (midltes) equals TextPartCount. Size of text in each "
                         u"part is calculated by TextSize/TextPartCount.");
    out.WriteCommentLine(u"4) TextPartSize > 0 and TextPartCount > 0 multipart is enabled. Program "
                         u"combines 2 previous methods to divide text into parts");
    out.WriteOption(u"TextPartSize", config.TextPartSize,
                    u"[integer] size (in letters) of one part of source text to be included into "
                    u"output midlet");
    out.WriteOption(u"TextPartCount", config.TextPartCount,
                    u"[integer] source text will be divided onto specified amounts of parts");
    out.WriteOption(u"RemoveStaleParts", config.RemoveStaleParts,
                    u"[boolean] remove the higher-numbered parts an earlier division of the "
                    u"book left in the output folder (false: only tell them)");
    out.WriteOption(u"TextHead", config.TextHead,
                    u"[string] Text header to be added to source text. For example book an "
                    u"author, publisher etc.");
    out.WriteOption(u"TextTail", config.TextTail,
                    u"[string] Text tail to be added to source text. For example link to another "
                    u"book of the author.");
    out.WriteOption(u"TextPartHead", config.TextPartHead,
                    u"[string] Text header to be added to each part of multi part midlets for "
                    u"example information about multi part midlet.");
    out.WriteOption(u"TextPartTail", config.TextPartTail,
                    u"[string] Text tail to be added to end of each part of multi part midlets "
                    u"for example information about multi part midlet.");
    out.WriteOption(u"TextPartLink", config.TextPartLink,
                    u"[string] Hyperlink information to be added to end of each part of multi "
                    u"part midlets.");
}

void WriteTextProcessingOptions(TExampleText& out, const TBookConfig& config) {
    out.WriteCommentLine(u"");
    out.WriteCommentLine(u"**** Text processing options ****");
    out.WriteCommentLine(u"Here are tags recognized by Paginor:");
    out.WriteCommentLine(u"1) Tag \"label\" is needed for hyperlinks");
    out.WriteCommentLine(u"<#label 101>");
    out.WriteCommentLine(u"<#label 300>");
    out.WriteCommentLine(u"2) Tags \"header\" of chapters, titles etc. Program builds table of "
                         u"content using these tags.");
    out.WriteCommentLine(u"<#header 1>Chapter 1<#/header>");
    out.WriteCommentLine(u"<#header 5>Chapter 5<#/header>");
    out.WriteCommentLine(u"3) Tag \"tableofcontent\" specifies place where table of content will "
                         u"be inserted");
    out.WriteCommentLine(u"4) Tags \"image\" allows insert image to specified position. Image file "
                         u"name must be full.");
    out.WriteCommentLine(u"<#image pic001.png>");
    out.WriteCommentLine(u"5) Tags \"link\" implements hyperlinks functionality. Each hyperlink is "
                         u"underlined and highlighted by specified color. Active hyperlink has "
                         u"pointer (small image defined by LinkLFileName and LinkPFileName "
                         u"parameters). Hyperlink targets are:");
    out.WriteCommentLine(u"5.1) Images - image will be shown if user follows hyperlink");
    out.WriteCommentLine(u"<#link image pic001.png>Flag of <#/link>");
    out.WriteCommentLine(
        u"5.2) Label tags - current reading position is changed to label position");
    out.WriteCommentLine(u"<#link label 101>Chapter 1<#/link>.");
    out.WriteCommentLine(u"5.3) External resources (http, wap). Lectoria invokes phone browser to "
                         u"access these links.");
    out.WriteCommentLine(u"<#link http " + Widen(kMakerSite) + u">See details on my site<#/link>");
    out.WriteCommentLine(u"5.4) Call to specified phone number");
    out.WriteCommentLine(u"<#link phone +78881234567>my phone<#/link>");
    out.WriteCommentLine(u"5.5) Send SMS to specified phone number");
    out.WriteCommentLine(
        u"<#link sms +78881234567:test sms message from java book>send me feedback<#/link>");
    out.WriteCommentLine(u"5.6) Open a file from phone file system (for smartphones)");
    out.WriteCommentLine(u"<#link file e:/music/abba/money.mp3>ABBA - Money<#/link>");
    out.WriteOption(u"FormatEn", config.FormatEn,
                    u"[true, false] enable/disable text formatting for small screens (removing "
                    u"redundant spaces etc) ");
    out.WriteOption(u"TagsEn", kDefaultTagsEn,
                    u"[true, false] enable/disable tags (pictures, hyperlinks) in source text");
}

void WriteSplashOptions(TExampleText& out, const TBookConfig& config) {
    out.WriteCommentLine(u"");
    out.WriteCommentLine(u"**** Splash screen options ****");
    out.WriteOption(u"SplashTimeout", kDefaultSplashTimeout,
                    u"[integer] how long splash screen is shown (in seconds). 0 means that user "
                    u"must press any key");
    out.WriteOption(u"SplashFileName", config.SplashFileName,
                    u"[string] full path to image in PNG format which will used in splash screen "
                    u"at midlet startup");
}

void WriteDisplayOptions(TExampleText& out, const TBookConfig& config) {
    out.WriteCommentLine(u"");
    out.WriteCommentLine(u"**** Display options ****");
    out.WriteCommentLine(u"That section describes default display options to be applied after "
                         u"midlet startup. User can change these values on fly while reading "
                         u"text.");
    out.WriteOption(u"LineSpacing", config.LineSpacing,
                    u"[integer] gap between neighbor lines of text, values -1, 0, 1");
    out.WriteOption(u"CharSpacing", config.CharSpacing,
                    u"[integer] gap between neighbor letters, values -1, 0, 1");
    out.WriteOption(u"WordWrap", kDefaultWordWrap, u"[true, false] enable/disable word wrap");
    out.WriteOption(u"PortraitLayout", kDefaultPortraitLayout,
                    u"[true, false] portrait or landscape layout");
    out.WriteOption(u"TextMargin", kDefaultTextMargin,
                    u"[integer] gap (in pixels) between border of screen and text");
    out.WriteOption(u"SmoothScroll", kDefaultSmoothScroll,
                    u"[integer] smooth scroll level 0-50 (0 - disabled)");
    out.WriteCommentLine(u"Up to 8 color maps are allowed.");
    // The colour maps are documented with fixed example values; the record's
    // colours are not consulted.
    for (int n = 1; n <= kColorMaps; ++n) {
        const std::u16string digit = IntToStr(n);
        const bool first = n == 1;
        out.WriteOption(Numbered(u"BackColor", n), first ? u"$ffffff" : u"",
                        u"[integer] back color" + digit +
                            u" in RGB, for example white color $ffffff");
        out.WriteOption(Numbered(u"FontColor", n), first ? u"0" : u"",
                        u"[integer] font color" + digit + u" in RGB, for example black color $0");
        out.WriteOption(Numbered(u"LinkColor", n), first ? u"$ff" : u"",
                        u"[integer] hyperlink font color" + digit +
                            u" in RGB, for example red color $0000ff");
    }
}

void WriteImageOptions(TExampleText& out, const TBookConfig& config) {
    out.WriteCommentLine(u"");
    out.WriteCommentLine(u"**** Image options ****");
    out.WriteCommentLine(u"Important: Image resize and format conversion require Image Magic "
                         u"Installed and registered as COM object.");
    out.WriteCommentLine(u"Here are possible values for ImageMode");
    out.WriteCommentLine(u"0 Do not import images");
    out.WriteCommentLine(u"1 Import images as is (do not use ImageMagic)");
    out.WriteCommentLine(u"2 Import, resize, convert and choose smallest (PNG or JPEG) using "
                         u"ImageMagic");
    out.WriteCommentLine(u"3 Import, resize and convert to PNG using ImageMagic");
    out.WriteCommentLine(u"4 Import, resize and convert to JPEG using ImageMagic");
    out.WriteOption(u"ImageMode", kDefaultImageMode, u"[integer] value from 0 to 6");
    out.WriteOption(u"ImageMargin", config.ImageMargin,
                    u"[integer] gap (in pixels) between border of screen and text");
    out.WriteOption(u"ImagePngOptions", config.ImagePngOptions,
                    u"[string] Image Magic rule for PNG images (see Image Magic manuals), for "
                    u"example -resize 160x128> -depth 8");
    out.WriteOption(u"ImageJpgOptions", config.ImageJpgOptions,
                    u"[string] Image Magic rule for JPG images (see Image Magic manuals), for "
                    u"example -resize 160x128> -quality 100 -depth 8");
}

// The reader-interface texts with their example values, in groups. Their
// values are fixed; the record's texts are not consulted.
const std::initializer_list<TExampleTextGroup> kExampleTexts = {
    {u"Main menu items",
     {{0, u"1: Navigator", u""},
      {1, u"2: Add bookmark", u""},
      {2, u"3: Open bookmark", u""},
      {3, u"4: Find", u""},
      {4, u"5: Display", u""},
      {5, u"6: Backlight", u""},
      {6, u"7: Autoscroll", u""},
      {7, u"8: Date and time", u""},
      {8, u"Book details", u""},
      {9, u"Help", u""},
      {10, u"About", u""},
      {11, u"Exit", u""},
      {20, u"Lectoria 5.0.8", u"Top string for splash screen"},
      {21, u"{site}", u"Bottom string for splash screen"},
      {50, u"Menu", u""},
      {51, u"Show image", u""},
      {52, u"Go to link", u""},
      {53, u"Make a call", u""},
      {54, u"Send SMS", u""},
      {55, u"Go to", u""}}},
    {u"BackLight setup form",
     {{100, u"BackLight setup", u""},
      {101, u"BackLight", u""},
      {102, u"Always off", u""},
      {103, u"Always on", u""},
      {104, u"10 sec", u""},
      {105, u"20 sec", u""},
      {106, u"30 sec", u""},
      {107, u"40 sec", u""},
      {108, u"Brightness (1-100%)", u""},
      {109, u"Backlight control works on Nokia phones only", u""}}},
    {u"Display setup from",
     {{200, u"Display setup", u""},
      {201, u"Rotate", u""},
      {202, u"Word wrap", u""},
      {203, u"Line spacing", u""},
      {204, u"-1", u""},
      {205, u"0", u""},
      {206, u"+1", u""},
      {207, u"Char spacing", u""},
      {208, u"-1", u""},
      {209, u"0", u""},
      {210, u"+1", u""},
      {211, u"Font type 0..", u""},
      {212, u"Color map", u""},
      {213, u"Smooth scroll", u""}}},
    {u"Navigator form",
     {{300, u"Navigator", u""},
      {301, u"Go to", u""},
      {302, u"Contents", u""},
      {303, u"First page", u""},
      {304, u"Last page", u""},
      {305, u"Position (%)", u""},
      {306, u"", u"Custom menu item, for example Order"},
      {307, u"", u"Link which will be actived if user selects custom menu item"}}},
    {u"Autoscrolling form",
     {{400, u"Autoscrolling", u""}, {401, u"Autoscrolling", u""}, {402, u"Delay", u""}}},
    {u"Text search forms",
     {{500, u"Search", u""},
      {501, u"Find Text", u""},
      {502, u"Search options", u""},
      {503, u"From start of book", u""},
      {504, u"Match case", u""},
      {505, u"Searching for", u""},
      {506, u"Cancelled", u""},
      {507, u"Not Found", u""}}},
    {u"Bookmarks form",
     {{600, u"Bookmarks", u""},
      {601, u"Saved bookmarks", u""},
      {602, u"Bookmark", u""},
      {603, u"Bookmark saved", u""}}},
    {u"Help form - it shows keys assigment etc",
     {{700, u"Help form", u""},     {701, u"*, Dial, Left softkey, Select:", u""},
      {702, u"Menu", u""},          {703, u"1:", u""},
      {704, u"Navigator", u""},     {705, u"2:", u""},
      {706, u"Save bookmark", u""}, {707, u"3:", u""},
      {708, u"Bookmarks", u""},     {709, u"4:", u""},
      {710, u"Search", u""},        {711, u"5:", u""},
      {712, u"Display", u""},       {713, u"6:", u""},
      {714, u"Backlight", u""},     {715, u"7:", u""},
      {716, u"Autoscrolling", u""}, {717, u"8:", u""},
      {718, u"Date and time", u""}, {719, u"9:", u""},
      {720, u"Search next", u""},   {721, u"0:", u""},
      {722, u"Font", u""},          {723, u"#, Down, Right", u""},
      {724, u"Next page", u""},     {725, u"Up, Left:", u""},
      {726, u"Previous page", u""}}},
    {u"Information form",
     {{800, u"Information", u""},
      {801, u"Book details: ", u""},
      {802, u"Book statistics: ", u""},
      {803, u"Size", u""},
      {804, u"byte(s), read", u""},
      {805, u"%, total reading time", u""},
      {806, u", book was opened", u""},
      {807, u"times", u""},
      {808, u"Book maker:", u""},
      {809, u"Max paint time", u""},
      {810, u"ms, max letters in screen ", u""},
      {811, u", perfomance", u""},
      {812, u"letters/sec", u""},
      {813, u"my test book", u"information about book"},
      {814, u"Paginor 5.0.8", u"information aboot book generator"},
      {815, u"Performance: ", u""}}},
    {u"About form",
     {{900, u"About", u""},
      {901, u"Version", u""},
      {902, u"Author", u""},
      {903, u"orvantis", u"Author of the programm"},
      {904, u"WWW", u""},
      {905, u"{site}", u"Author's site"},
      {906, u"5.0.8", u"Programm version"},
      {907, u"{url}", u"Link (URL) for About form, for example {url}"}}},
    {u"Date and time form",
     {{1000, u"Date and time", u""},
      {1001, u"Date", u""},
      {1002, u"Time", u""},
      {1003, u"Total reading time: ", u""},
      {1004, u"Book was opened: ", u""},
      {1005, u"times", u""}}},
    {u"Soft keys commands",
     {{1100, u"Cancel", u""},
      {1101, u"Apply", u""},
      {1102, u"GoTo", u""},
      {1103, u"Select", u""},
      {1104, u"Ok", u""},
      {1105, u"Menu", u""},
      {1106, u"GoToLink", u""},
      {1107, u"Exit", u""}}},
    {u"Error form", {{1200, u"Fatal error", u""}}},
    {u"Passowrd form",
     {{1300, u"Password protection", u""},
      {1301, u"Password", u""},
      {1302, u"Password test string", u"Password test string"}}},
};

std::u16string ExpandSite(std::u16string_view text) {
    std::u16string out(text);
    for (auto [token, value] : {std::pair{std::u16string_view(u"{site}"), kMakerSite},
                                std::pair{std::u16string_view(u"{url}"), kMakerSiteUrl}}) {
        const size_t at = out.find(token);
        if (at != std::u16string::npos) out.replace(at, token.size(), Widen(value));
    }
    return out;
}

void WriteLocalization(TExampleText& out) {
    out.WriteCommentLine(u"");
    out.WriteCommentLine(u"**** Midlet localization ****");
    for (const auto& group : kExampleTexts) {
        out.WriteCommentLine(group.Title);
        for (const auto& text : group.Texts)
            out.WriteOption(IntToStr(text.Key), ExpandSite(text.Value), ExpandSite(text.Comment));
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Writes the text as UTF-16 little-endian with its byte-order mark.
void WriteUtf16LeFile(const std::u16string& fileName, const std::u16string& text) {
    std::string bytes;
    bytes.reserve(2 * text.size() + 2);
    PutUtf16Le(bytes, u"\uFEFF");
    PutUtf16Le(bytes, text);

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(ToPath(fileName).c_str(), "wb"));
    if (!file) throw TBookError(SystemErrorText(errno));
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        throw TBookError(SystemErrorText(errno));
    if (std::fclose(file.release()) != 0) throw TBookError(SystemErrorText(errno));
}

} // namespace

void TBookConfig::WriteExampleConfig(const std::u16string& fileName) const {
    // A file cut short (a full disk) must not pass for the example later, nor
    // block the next -config as an existing file: a new one goes on failure.
    std::error_code ec;
    const bool existed = std::filesystem::symlink_status(ToPath(fileName), ec).type() !=
                         std::filesystem::file_type::not_found;
    try {
        TExampleText out;
        WriteBasicOptions(out, *this);
        WriteAdvancedOptions(out, *this);
        WriteFontOptions(out, *this);
        WriteMultipartOptions(out, *this);
        WriteTextProcessingOptions(out, *this);
        WriteSplashOptions(out, *this);
        WriteDisplayOptions(out, *this);
        WriteImageOptions(out, *this);
        WriteLocalization(out);
        WriteUtf16LeFile(fileName, out.Content());
    } catch (const std::exception& error) {
        Log(3, "Can't save config file: " + ToUtf8(fileName) + "; " + error.what());
        if (!existed) std::filesystem::remove(ToPath(fileName), ec);
        throw TBookError("Cant't save config file " + ToUtf8(fileName));
    }
}

} // namespace paginor
