// Zip archives for tests, written with libzip: the entries in the order
// given, each deflated (or stored when asked), names taken as they are, so
// hostile names ("../x", "/etc/x") can be written too.
#pragma once

#include "test_files.h"

#include <zip.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace paginor::testing {

struct TZipEntry {
    std::string Name;
    std::string Bytes;
    bool Stored = false;
};

inline std::string ZipBytes(const std::vector<TZipEntry>& entries) {
    TTempDir dir;
    const std::string path = (dir / "fixture.zip").string();
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) throw std::runtime_error("zip_open failed");
    for (const TZipEntry& entry : entries) {
        zip_source_t* source =
            zip_source_buffer(archive, entry.Bytes.data(), entry.Bytes.size(), 0);
        const zip_int64_t index =
            source ? zip_file_add(archive, entry.Name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            zip_discard(archive);
            throw std::runtime_error("zip_file_add failed for " + entry.Name);
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 entry.Stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    if (zip_close(archive) != 0) throw std::runtime_error("zip_close failed");
    return ReadBytes(dir / "fixture.zip");
}

} // namespace paginor::testing
