// Archives laid out byte by byte, independently of the archive writer.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace testkit {

struct PackageEntry {
    std::string name;    // CP932
    std::string stored;  // the bytes as they lie in the archive
    uint32_t attributes = 0;
    uint32_t options = 0;
};

// `value` in `size` bytes, the least significant first.
inline std::string Le(uint32_t value, int size) {
    std::string bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}
inline std::string Le16(uint32_t value) {
    return Le(value, 2);
}
inline std::string Le32(uint32_t value) {
    return Le(value, 4);
}

inline std::string Padded(std::string text, size_t size) {
    text.resize(size, '\0');
    return text;
}

// Header, directory and data, integers 32-bit little-endian.
inline std::string PackageBytes(const std::vector<PackageEntry>& entries,
                                const std::string& id = "OV3PKG",
                                const std::string& description = "") {
    std::string bytes = Padded(id, 8) + Padded(description, 256) + Le32(entries.size());
    uint32_t offset = 0;
    for (const PackageEntry& entry : entries) {
        bytes += Padded(entry.name, 256) + Le32(entry.attributes) + Le32(entry.options) +
                 Le32(offset) + Le32(entry.stored.size());
        offset += entry.stored.size();
    }
    for (const PackageEntry& entry : entries) bytes += entry.stored;
    return bytes;
}

// What stands between an executable and the archive appended to it.
inline const std::string kStubSeparator = std::string(255, '-') + "+";

// One zlib stream, as a compressed entry holds it.
inline std::string Compressed(const std::string& plain) {
    uLongf size = compressBound(plain.size());
    std::string stream(size, '\0');
    compress2(reinterpret_cast<Bytef*>(stream.data()), &size,
              reinterpret_cast<const Bytef*>(plain.data()), plain.size(), Z_BEST_COMPRESSION);
    stream.resize(size);
    return stream;
}

// One zlib stream of `count` copies of `byte`, made a piece at a time: a
// small stream that inflates to far more costs little to make.
inline std::string CompressedRun(char byte, size_t count) {
    const std::string piece(1 << 20, byte);
    z_stream zs{};
    deflateInit(&zs, Z_BEST_COMPRESSION);
    std::string stream;
    unsigned char out[1 << 16];
    size_t left = count;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        size_t size = std::min(left, piece.size());
        left -= size;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        zs.avail_in = static_cast<uInt>(size);
        do {
            zs.next_out = out;
            zs.avail_out = sizeof out;
            deflate(&zs, flush);
            stream.append(reinterpret_cast<char*>(out), sizeof out - zs.avail_out);
        } while (zs.avail_out == 0);
    }
    deflateEnd(&zs);
    return stream;
}

}  // namespace testkit
