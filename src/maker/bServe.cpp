#include "maker/bServe.h"

#include "core/bVar.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <map>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace paginor {

namespace {

namespace fs = std::filesystem;

constexpr int kDefaultPort = 8080;
constexpr const char* kDefaultAddress = "0.0.0.0";
constexpr const char* kJadType = "text/vnd.sun.j2me.app-descriptor";
constexpr const char* kJarType = "application/java-archive";
constexpr const char* kPageType = "application/xhtml+xml; charset=utf-8";
// A midlet file name is at most what a file system allows; a longer request
// is no name of ours and is refused before anything is looked up.
constexpr size_t kLongestName = 255;
// The largest file served: far above any JAR a phone takes.
constexpr off_t kLargestFile = 64 * 1024 * 1024;

// An open file descriptor, closed with its owner.
class TFileHandle {
public:
    explicit TFileHandle(int fd) : Fd(fd) {}
    ~TFileHandle() {
        if (Fd >= 0) ::close(Fd);
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    int Get() const { return Fd; }

private:
    int Fd;
};

bool EndsWith(const std::string& name, const char* extension) {
    return name.size() > std::strlen(extension) && name.ends_with(extension);
}

// Whether the name may be served: one file name of the folder itself, a JAD
// or a JAR, not hidden.
bool IsServableName(const std::string& name) {
    return !name.empty() && name.size() <= kLongestName && name.front() != '.' &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos &&
           name.find("..") == std::string::npos &&
           (EndsWith(name, ".jad") || EndsWith(name, ".jar"));
}

// The bytes of a regular file directly in the folder, never through a
// symbolic link; nothing when it cannot be read so.
std::optional<std::string> ReadServedFile(const std::u16string& folder, const std::string& name) {
    const TFileHandle dir(::open(ToPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0) return std::nullopt;
    const TFileHandle file(::openat(dir.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > kLargestFile)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        done += static_cast<size_t>(got);
    }
    return bytes;
}

// The attributes of a JAD ("Name: value" lines).
std::map<std::string, std::string> JadAttributes(const std::string& jad) {
    std::map<std::string, std::string> attributes;
    size_t start = 0;
    while (start < jad.size()) {
        size_t end = jad.find('\n', start);
        if (end == std::string::npos) end = jad.size();
        std::string line = jad.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t colon = line.find(':');
        if (colon != std::string::npos && colon > 0)
            attributes.emplace(line.substr(0, colon), TrimControls(line.substr(colon + 1)));
        start = end + 1;
    }
    return attributes;
}

std::string EscapeXml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One midlet of the index.
struct TIndexEntry {
    std::string FileName; // of the JAD
    std::string Name;     // MIDlet-Name
    std::string Title;    // Book-Title, else the name
    std::string Author;   // Book-Author, or empty
    std::string Size;     // MIDlet-Jar-Size as "N KB"
};

std::string SizeText(const std::string& bytes) {
    char* end = nullptr;
    const long long value = std::strtoll(bytes.c_str(), &end, 10);
    if (bytes.empty() || *end != '\0' || value < 0) return "";
    return std::to_string((value + 1023) / 1024) + " KB";
}

// The name without the part number it ends in ("Long12" -> "Long").
std::string WithoutPartNumber(const std::string& name) {
    size_t end = name.size();
    while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9')
        --end;
    return end == 0 ? name : name.substr(0, end);
}

// The JADs lying in the folder as regular files, by name.
std::vector<TIndexEntry> IndexEntries(const std::u16string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(ToPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (EndsWith(name, ".jad") && IsServableName(name) && IsValidUtf8(name))
            names.push_back(name);
    }
    std::vector<TIndexEntry> entries;
    for (const std::string& name : names) {
        const std::optional<std::string> jad = ReadServedFile(folder, name);
        if (!jad) continue;
        auto attributes = JadAttributes(*jad);
        TIndexEntry entry{name, attributes["MIDlet-Name"], attributes["Book-Title"],
                          attributes["Book-Author"], SizeText(attributes["MIDlet-Jar-Size"])};
        if (entry.Name.empty()) entry.Name = name.substr(0, name.size() - 4);
        entries.push_back(entry);
    }
    return entries;
}

// Parts of one book: the same title (the name without its part number for
// a book that names none) and author. In a group, parts go by their numbers.
using TGroupKey = std::tuple<std::string, std::string>;

std::map<TGroupKey, std::vector<TIndexEntry>> GroupedEntries(std::vector<TIndexEntry> entries) {
    std::map<TGroupKey, std::vector<TIndexEntry>> groups;
    for (TIndexEntry& entry : entries) {
        const std::string title = entry.Title.empty() ? WithoutPartNumber(entry.Name) : entry.Title;
        groups[{title, entry.Author}].push_back(std::move(entry));
    }
    for (auto& [key, parts] : groups)
        std::sort(parts.begin(), parts.end(), [](const TIndexEntry& a, const TIndexEntry& b) {
            return std::make_tuple(a.Name.size(), a.Name) < std::make_tuple(b.Name.size(), b.Name);
        });
    return groups;
}

std::string Link(const TIndexEntry& entry, const std::string& text) {
    return "<a href=\"" + EncodePercentEscapes(entry.FileName) + "\">" + EscapeXml(text) + "</a>" +
           (entry.Size.empty() ? "" : " " + entry.Size);
}

// Whether the request comes from every address of the machine rather than one.
bool IsAnyAddress(const std::string& address) {
    return address == "0.0.0.0" || address == "::";
}

std::mutex& OutputLock() {
    static std::mutex lock;
    return lock;
}

void PrintLine(const std::string& line) {
    const std::lock_guard<std::mutex> hold(OutputLock());
    std::cout << line << std::endl;
}

} // namespace

std::string ComposeIndexPage(const std::u16string& folder) {
    std::string page = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<!DOCTYPE html PUBLIC \"-//WAPFORUM//DTD XHTML Mobile 1.0//EN\" "
                       "\"http://www.wapforum.org/DTD/xhtml-mobile10.dtd\">\n"
                       "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n"
                       "<head><title>Books</title></head>\n<body>\n<h1>Books</h1>\n";
    const auto groups = GroupedEntries(IndexEntries(folder));
    if (groups.empty()) page += "<p>No books here yet.</p>\n";
    for (const auto& [key, parts] : groups) {
        const auto& [title, author] = key;
        page += "<p><b>" +
                EscapeXml(parts.size() == 1 && parts[0].Title.empty() ? parts[0].Name : title) +
                "</b><br/>";
        if (!author.empty()) page += EscapeXml(author) + "<br/>";
        if (parts.size() == 1) {
            page += Link(parts[0], "Install");
        } else {
            page += std::to_string(parts.size()) + " parts:";
            for (size_t n = 0; n < parts.size(); ++n)
                page += std::string(n == 0 ? " " : ", ") + Link(parts[n], std::to_string(n + 1));
        }
        page += "</p>\n";
    }
    return page + "</body>\n</html>\n";
}

TServeAnswer AnswerRequest(const std::u16string& folder, const std::string& path) {
    if (path == "/" || path == "/index.html") return {200, kPageType, ComposeIndexPage(folder)};
    if (path.size() > kLongestName + 1) return {414, "text/plain", "Name too long\n"};
    const std::string name = path.empty() ? "" : path.substr(1);
    if (path.front() != '/' || !IsServableName(name)) return {404, "text/plain", "Not found\n"};
    std::optional<std::string> bytes = ReadServedFile(folder, name);
    if (!bytes) return {404, "text/plain", "Not found\n"};
    return {200, EndsWith(name, ".jad") ? kJadType : kJarType, std::move(*bytes)};
}

int ServeFolder(int count, char** arguments) {
    if (count < 1 || count > 2) {
        PrintLine("Usage: paginor -serve folder [[address:]port]");
        return 2;
    }
    const std::u16string folder = FromUtf8(arguments[0]);
    std::string address = kDefaultAddress, portText = count > 1 ? arguments[1] : "";
    if (const size_t colon = portText.rfind(':'); colon != std::string::npos) {
        address = portText.substr(0, colon);
        portText = portText.substr(colon + 1);
    }
    int port = kDefaultPort;
    if (count > 1) {
        char* end = nullptr;
        const long value = std::strtol(portText.c_str(), &end, 10);
        if (portText.empty() || *end != '\0' || value < 0 || value > 65535 || address.empty()) {
            PrintLine("Port " + std::string(arguments[1]) +
                      " is not a port number of 0 to 65535 (with an address: 127.0.0.1:8080)");
            return 2;
        }
        port = static_cast<int>(value);
    }
    std::error_code ec;
    if (!IsValidUtf8(arguments[0]) || !fs::is_directory(ToPath(folder), ec)) {
        PrintLine("Can't serve " + std::string(arguments[0]) + ": not a folder");
        return 1;
    }

    // Ctrl-C and SIGTERM are waited for here rather than handled: the
    // server's threads start with them blocked too.
    sigset_t stop, previous;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, &previous);
    std::signal(SIGPIPE, SIG_IGN); // a phone that hangs up ends only its request

    httplib::Server server;
    server.Get(".*", [&folder](const httplib::Request& request, httplib::Response& response) {
        const TServeAnswer answer = AnswerRequest(folder, request.path);
        response.status = answer.Status;
        response.set_content(answer.Body, answer.ContentType.c_str());
    });
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        PrintLine("+ " + request.remote_addr + " " + request.method + " " + request.target + " " +
                  std::to_string(response.status));
    });
    const int bound = port == 0 ? server.bind_to_any_port(address)
                                : (server.bind_to_port(address, port) ? port : -1);
    if (bound < 0) {
        PrintLine("Can't listen on " + address + " port " + std::to_string(port) + " (" +
                  SystemErrorText(errno) + ")");
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return 1;
    }
    // The server counts as running only once its thread is in its loop; a
    // stop before that would be lost, so the line and the wait come after.
    std::atomic<bool> ended = false;
    std::thread listener([&server, &ended] {
        server.listen_after_bind();
        ended = true;
    });
    while (!server.is_running() && !ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string shown = IsAnyAddress(address) ? "every address of this machine" : address;
    PrintLine("+ Serving " + std::string(arguments[0]) + " on " + shown + ", port " +
              std::to_string(bound) + " (http://" + (IsAnyAddress(address) ? "ADDRESS" : address) +
              ":" + std::to_string(bound) + "/); Ctrl-C stops");
    int signal = 0;
    sigwait(&stop, &signal);
    server.stop();
    listener.join();
    PrintLine("+ Stopped serving " + std::string(arguments[0]) + " (" + strsignal(signal) + ")");
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return 0;
}

} // namespace paginor
