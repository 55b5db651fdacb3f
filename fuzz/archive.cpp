// Opens arbitrary bytes as a plain and as an appended package and reads every
// entry, as the player does with a package from a stranger. Besides crashes it
// checks that a stored entry reads back exactly as its bytes in the file, that
// nothing inflates beyond its bound, and that a lookup finds the first entry of
// a name. The last bytes of the input, up to a NUL, are looked up as a name.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "quiet_boxes.h"
#include "storage/Link_arc.h"

using namespace storage;

namespace {

// Inflating stops here, so that many entries sharing one dense stream stay
// well inside the fuzzer's time limit.
constexpr size_t kMaxEntryBytes = 1 << 20;
constexpr size_t kMaxNameBytes = 32;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

class CappedMemoryStream : public LinkMemoryStream {
public:
    bool Write(const void* data, size_t size) override {
        return bytes.size() + size <= kMaxEntryBytes && LinkMemoryStream::Write(data, size);
    }
};

// One file per process, rewritten for every input and removed at exit.
struct ScratchFile {
    std::string path;
    ScratchFile() {
        char name[] = "/tmp/orv_fuzz_archiveXXXXXX";
        int fd = mkstemp(name);
        Check(fd >= 0);
        close(fd);
        path = name;
    }
    ~ScratchFile() { std::remove(path.c_str()); }

    void Write(std::string_view bytes) const {
        FILE* file = std::fopen(path.c_str(), "wb");
        Check(file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
        std::fclose(file);
    }
};

void ReadEverything(LinkReader& reader, std::string_view input, const char* name) {
    for (int32_t i = 0; i < reader.count; ++i) {
        const LinkEntry* entry = Link_GetEntry(&reader, i);
        Check(entry && std::char_traits<char>::length(entry->name) < kLinkNameSize);
        int32_t found = Link_FindIndex(&reader, entry->name);
        Check(found >= 0 && found <= i);

        CappedMemoryStream stream;
        bool ok = Link_ReadToStream(&stream, i, &reader);
        if (entry->attributes & kLinkCompressed) {
            Check(stream.bytes.size() <= Link_InflateBound(entry->size));
        } else {
            Check(ok);
            Check(stream.bytes == input.substr(reader.dataBase + entry->offset, entry->size));
        }
    }
    CappedMemoryStream stream;
    int32_t index = Link_FindIndex(&reader, name);
    Check(Link_ReadByName(&stream, name, &reader) || index < 0 ||
          (reader.entries[index].attributes & kLinkCompressed));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile scratch;
    ClearMessageBoxes();

    std::string_view input(reinterpret_cast<const char*>(data), size);
    scratch.Write(input);
    std::string_view tail = input.substr(input.size() - std::min(input.size(), kMaxNameBytes));
    size_t nul = tail.rfind('\0');
    std::string name(nul == std::string_view::npos ? tail : tail.substr(nul + 1));

    LinkReader reader;
    if (Link_Open(scratch.path.c_str(), &reader)) ReadEverything(reader, input, name.c_str());
    if (Link_OpenAppended(scratch.path.c_str(), &reader)) {
        ReadEverything(reader, input, name.c_str());
    }
    Link_Close(&reader);
    return 0;
}
