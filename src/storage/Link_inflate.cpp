// Inflating compressed archive entries: one zlib stream per entry, read through
// the clipped read so that a damaged stream never reaches into the next entry.
#include <zlib.h>

#include <algorithm>

#include "platform/dialogs.h"
#include "storage/Link_arc.h"

namespace storage {

namespace {

// Input and output pieces. Inflating through 1 KiB pieces costs about a fifth
// more time than through 64 KiB ones for the same bytes.
constexpr size_t kInflatePiece = 64 * 1024;

bool Report(const char* text) {
    platform::ShowMessage(platform::MessageKind::Error, platform::MessageButtons::Ok, text);
    return false;
}

// Hands a piece of output on, unless it takes the total beyond the bound.
bool Emit(LinkStream* stream, const unsigned char* data, size_t size, uint64_t& total,
          uint64_t maxBytes) {
    if (size > maxBytes - total) return Report("zlib decompress fail");
    total += size;
    return size == 0 || stream->Write(data, size);
}

bool InflateEntry(z_stream& zs, LinkStream* stream, LinkReader* reader, uint64_t maxBytes) {
    unsigned char input[kInflatePiece];
    unsigned char output[kInflatePiece];
    uint64_t total = 0;
    zs.next_out = output;
    zs.avail_out = sizeof output;
    for (;;) {
        if (zs.avail_in == 0) {
            zs.next_in = input;
            zs.avail_in = static_cast<uInt>(Link_Read(reader, input, 1, sizeof input));
        }
        int result = inflate(&zs, Z_NO_FLUSH);
        if (result == Z_STREAM_END) break;
        // Z_BUF_ERROR here means the entry ended before the stream did.
        if (result != Z_OK) return Report("zlib decompress fail");
        if (zs.avail_out == 0) {
            if (!Emit(stream, output, sizeof output, total, maxBytes)) return false;
            zs.next_out = output;
            zs.avail_out = sizeof output;
        }
    }
    return Emit(stream, output, sizeof output - zs.avail_out, total, maxBytes);
}

}  // namespace

uint64_t Link_InflateBound(uint32_t storedSize) {
    return std::min(kLinkMaxInflated, storedSize * kLinkMaxExpansion + kLinkExpansionSlack);
}

bool Link_Inflate(LinkStream* stream, LinkReader* reader) {
    const LinkEntry* entry = Link_GetEntry(reader, reader ? reader->current : -1);
    return Link_InflateWithin(stream, reader, Link_InflateBound(entry ? entry->size : 0));
}

bool Link_InflateWithin(LinkStream* stream, LinkReader* reader, uint64_t maxBytes) {
    if (!stream) return false;
    z_stream zs{};  // null allocator fields: zlib's own allocation
    if (inflateInit(&zs) != Z_OK) return Report("zlib initialize fail");
    bool inflated = InflateEntry(zs, stream, reader, maxBytes);
    int ended = inflateEnd(&zs);  // always, so that a failure leaks nothing
    if (!inflated) return false;
    if (ended != Z_OK) return Report("zlib inflate_end error");
    return true;
}

}  // namespace storage
