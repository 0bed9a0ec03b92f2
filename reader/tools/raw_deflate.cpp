// raw_deflate IN OUT: writes the raw deflate stream (no zlib header) of the
// file IN to OUT at libdeflate's highest level, for the reader's classes and
// default pictures that every midlet carries. The build runs it once; the
// program then copies the streams into each JAR as they are.
#include <libdeflate.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: raw_deflate IN OUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "raw_deflate: can't read %s\n", argv[1]);
        return 1;
    }
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(12);
    if (!compressor) return 1;
    std::string out(libdeflate_deflate_compress_bound(compressor, bytes.size()), '\0');
    const size_t size =
        libdeflate_deflate_compress(compressor, bytes.data(), bytes.size(), out.data(), out.size());
    libdeflate_free_compressor(compressor);
    if (size == 0) return 1;
    std::ofstream file(argv[2], std::ios::binary);
    file.write(out.data(), static_cast<std::streamsize>(size));
    file.close();
    if (!file) {
        std::fprintf(stderr, "raw_deflate: can't write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
