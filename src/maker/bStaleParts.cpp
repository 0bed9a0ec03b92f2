#include "maker/bStaleParts.h"

#include "core/bVar.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

namespace paginor {

namespace {

namespace fs = std::filesystem;

constexpr const char* kExtensions[] = {".jar", ".jad"};

// The part number a file name carries after the base, or nothing when the
// name is no midlet file of the book. Numbers are kept as their digits, so
// that any length compares right: first by length, then by digits.
std::string PartNumberOf(const std::string& fileName, const std::string& base) {
    for (const std::string extension : kExtensions) {
        if (fileName.size() <= base.size() + extension.size() || !fileName.starts_with(base) ||
            !fileName.ends_with(extension))
            continue;
        const std::string digits =
            fileName.substr(base.size(), fileName.size() - base.size() - extension.size());
        const bool number =
            digits.front() != '0' &&
            std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
        return number ? digits : std::string();
    }
    return {};
}

bool NumberAbove(const std::string& digits, const std::string& limit) {
    return digits.size() != limit.size() ? digits.size() > limit.size() : digits > limit;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

std::vector<std::string> FindStaleParts(const std::u16string& folder, const std::string& base,
                                        size_t parts) {
    const std::string limit = std::to_string(parts);
    std::set<std::pair<size_t, std::string>> found; // (length, digits): number order
    std::error_code ec;
    for (fs::directory_iterator it(ToPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        const std::string digits = PartNumberOf(it->path().filename().string(), base);
        if (!digits.empty() && NumberAbove(digits, limit)) found.insert({digits.size(), digits});
    }
    std::vector<std::string> names;
    for (const auto& number : found)
        names.push_back(base + number.second);
    return names;
}

void HandleStaleParts(const TBookObject& log, const std::u16string& folder, const std::string& base,
                      size_t parts, bool remove) {
    const std::vector<std::string> stale = FindStaleParts(folder, base, parts);
    if (stale.empty()) return;
    const std::string where = ToUtf8(folder);
    if (!remove) {
        log.Log(6, "? " + where + " still holds " + Joined(stale) + " of an earlier edition of " +
                       base + " in more than " + std::to_string(parts) +
                       " parts: a phone would install them with this one (RemoveStaleParts=true "
                       "removes them)");
        return;
    }
    std::vector<std::string> removed;
    for (const std::string& name : stale) {
        bool whole = true;
        for (const std::string extension : kExtensions) {
            const fs::path path = ToPath(folder) / ToPath(FromUtf8(name + extension));
            std::error_code ec;
            fs::remove(path, ec);
            if (ec) {
                log.Log(6, "? Can't remove " + ToUtf8(FromPath(path)) + " (" +
                               SystemErrorText(ec.value()) + ")");
                whole = false;
            }
        }
        if (whole) removed.push_back(name);
    }
    if (!removed.empty())
        log.Log(6, "+ Removed " + Joined(removed) + " of an earlier edition of " + base + " from " +
                       where);
}

} // namespace paginor
