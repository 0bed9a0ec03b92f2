#include "platform/RtfFields.h"

#include "core/bVar.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>

namespace paginor {

namespace {

// The fields whose instruction stays: they read nothing outside the document.
constexpr std::string_view kKeptFields[] = {
    "HYPERLINK",    "TOC",         "TC",      "REF",        "PAGEREF",    "NOTEREF",
    "STYLEREF",     "SEQ",         "PAGE",    "NUMPAGES",   "SECTION",    "SECTIONPAGES",
    "SYMBOL",       "EQ",          "DATE",    "TIME",       "CREATEDATE", "SAVEDATE",
    "PRINTDATE",    "AUTHOR",      "TITLE",   "SUBJECT",    "KEYWORDS",   "COMMENTS",
    "XE",           "LISTNUM",     "AUTONUM", "AUTONUMLGL", "AUTONUMOUT", "FORMTEXT",
    "FORMCHECKBOX", "FORMDROPDOWN"};
constexpr size_t kInstructionShown = 200;

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The groups open at a place of the document; a group that holds a field
// instruction collects the instruction's text.
struct TGroup {
    size_t Start = 0;
    bool Instruction = false;
    std::string Text;
};

class TFieldScanner {
public:
    explicit TFieldScanner(std::string_view rtf) : Rtf(rtf) {}

    std::string Scan(std::vector<std::string>& removed);

private:
    void ControlWord();
    void AddText(std::string_view text);
    void CloseGroup(size_t end, std::vector<std::string>& removed);

    void SkipFallback();

    std::string_view Rtf;
    size_t At = 0;
    long FallbackCount = 1; // characters that stand for a \u character in older readers
    std::vector<TGroup> Groups;
    std::vector<std::pair<size_t, size_t>> Removals;
};

std::string TFieldScanner::Scan(std::vector<std::string>& removed) {
    while (At < Rtf.size()) {
        const char c = Rtf[At];
        if (c == '{') {
            Groups.push_back({At, false, {}});
            ++At;
        } else if (c == '}') {
            ++At;
            if (!Groups.empty()) CloseGroup(At, removed);
        } else if (c == '\\') {
            ControlWord();
        } else {
            if (c != '\r' && c != '\n') AddText(std::string_view(&c, 1));
            ++At;
        }
    }
    // A document cut short inside a field instruction loses the rest.
    while (!Groups.empty())
        CloseGroup(Rtf.size(), removed);

    std::sort(Removals.begin(), Removals.end());
    std::string out;
    out.reserve(Rtf.size());
    size_t copied = 0;
    for (const auto& [start, end] : Removals) {
        if (end <= copied) continue; // inside a group already removed
        out.append(Rtf.substr(copied, std::max(start, copied) - copied));
        copied = end;
    }
    out.append(Rtf.substr(copied));
    return out;
}

// A control word ("\fldinst", "\u1234?", "\bin5 xxxxx") or symbol ("\'e9",
// "\{"): what it adds to an instruction's text, and the field groups it marks.
void TFieldScanner::ControlWord() {
    ++At; // the backslash
    if (At >= Rtf.size()) return;
    const char first = Rtf[At];
    if (!IsLetter(first)) {
        ++At;
        if (first == '\'' && At + 1 < Rtf.size() && HexDigit(Rtf[At]) >= 0 &&
            HexDigit(Rtf[At + 1]) >= 0) {
            const char byte = static_cast<char>(HexDigit(Rtf[At]) * 16 + HexDigit(Rtf[At + 1]));
            At += 2;
            AddText(std::string_view(&byte, 1));
        } else if (first == '\\' || first == '{' || first == '}') {
            AddText(std::string_view(&first, 1));
        } else if (first == '~') {
            AddText(" ");
        }
        return;
    }
    const size_t wordStart = At;
    while (At < Rtf.size() && IsLetter(Rtf[At]))
        ++At;
    const std::string_view word = Rtf.substr(wordStart, At - wordStart);
    const size_t numberStart = At;
    if (At < Rtf.size() && Rtf[At] == '-') ++At;
    while (At < Rtf.size() && std::isdigit(static_cast<unsigned char>(Rtf[At])))
        ++At;
    const std::string number(Rtf.substr(numberStart, At - numberStart));
    if (At < Rtf.size() && Rtf[At] == ' ') ++At;
    const long value =
        number.empty() || number == "-" ? 0 : std::strtol(number.c_str(), nullptr, 10);

    if (word == "fldinst" && !Groups.empty()) {
        Groups.back().Instruction = true;
    } else if (word == "bin" && value > 0) {
        At = std::min(Rtf.size(), At + static_cast<size_t>(value));
    } else if (word == "uc") {
        FallbackCount = std::clamp(value, 0L, 8L);
    } else if (word == "u") {
        const long code = value < 0 ? value + 65536 : value;
        const char shown = code > 0 && code < 128 ? static_cast<char>(code) : '?';
        AddText(std::string_view(&shown, 1));
        SkipFallback();
    } else if (word == "tab" || word == "par" || word == "line") {
        AddText(" ");
    }
}

// The characters after a "\u" character that older readers show instead: a
// plain character or a "\'hh" each.
void TFieldScanner::SkipFallback() {
    for (long n = 0; n < FallbackCount && At < Rtf.size(); ++n) {
        if (Rtf[At] == '\\' && At + 3 < Rtf.size() && Rtf[At + 1] == '\'')
            At += 4;
        else if (Rtf[At] != '\\' && Rtf[At] != '{' && Rtf[At] != '}')
            ++At;
        else
            break;
    }
}

void TFieldScanner::AddText(std::string_view text) {
    for (TGroup& group : Groups)
        if (group.Instruction && group.Text.size() < kInstructionShown) group.Text.append(text);
}

void TFieldScanner::CloseGroup(size_t end, std::vector<std::string>& removed) {
    TGroup group = std::move(Groups.back());
    Groups.pop_back();
    if (!group.Instruction) return;
    const std::string instruction = CollapseBlanks(group.Text);
    std::string name = instruction.substr(0, instruction.find(' '));
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (std::find(std::begin(kKeptFields), std::end(kKeptFields), name) != std::end(kKeptFields))
        return;
    Removals.emplace_back(group.Start, end);
    if (!instruction.empty()) removed.push_back(instruction);
}

} // namespace

bool IsRtf(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    const size_t start = bytes.find_first_not_of(std::string_view(" \t\r\n\0", 5));
    return start != std::string_view::npos && LowerAscii(bytes.substr(start, 5)) == "{\\rtf";
}

std::string WithoutOutsideFields(std::string_view rtf, std::vector<std::string>& removed) {
    return TFieldScanner(rtf).Scan(removed);
}

} // namespace paginor
