#include "maker/bImport.h"

#include "core/bObject.h"
#include "core/bVar.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace paginor {

std::string SafeTagArgument(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '<' || c == '>' || c == '[' || c == ']') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

void WritePictureFile(const std::string& name, std::string_view bytes) {
    const int fd = ::open(ToPath(FromUtf8(name)).c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) throw TBookError("Can't create file " + name + ": " + SystemErrorText(errno));
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0)
            throw TBookError("Can't write file " + name + ": " + SystemErrorText(errno));
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

} // namespace paginor
