// The linkage archive: packages (.vp3) and the system library (.vlb) are one
// file holding a 268-byte header, a directory of 272-byte entry records and the
// entries' bytes back to back, all integers 32-bit little-endian. An archive may
// also follow other bytes (an executable) behind a separator line.
//
// Plain functions over reader and writer records with C stream I/O, returning
// booleans, counts, -1 or null, in the manner of zlib. Archives come from
// strangers: the reader refuses a directory that does not fit the file or holds
// too many entries, and never hands out bytes outside the entry asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace storage {

constexpr size_t kLinkIdSize = 8;
constexpr size_t kLinkDescriptionSize = 256;
constexpr size_t kLinkNameSize = 256;
constexpr uint32_t kLinkHeaderSize = 268;
constexpr uint32_t kLinkEntrySize = 272;

// Attributes: bit 31 marks one zlib stream; bits 24-27 are the kind bits, and
// only an entry with a kind bit set is ever extracted into the data directory.
constexpr uint32_t kLinkCompressed = 0x80000000u;
constexpr uint32_t kLinkKindMask = 0x0F000000u;
// Options: bit 24 asks for extraction into the data directory at open.
constexpr uint32_t kLinkExtract = 0x01000000u;

// Deflate cannot expand its input more than about 1032:1, so a compressed
// entry that inflates beyond that (or beyond 1 GiB) is damaged or hostile.
constexpr uint64_t kLinkMaxExpansion = 1032;
constexpr uint64_t kLinkExpansionSlack = 64 * 1024;
constexpr uint64_t kLinkMaxInflated = uint64_t{1} << 30;

struct LinkHeader {
    char id[kLinkIdSize];                    // NUL-padded, e.g. "OV3PKG"
    char description[kLinkDescriptionSize];  // NUL-terminated
    uint32_t count;
};

// Real packages hold a few thousand entries; a directory with more is refused
// as damaged. With the compact entries below, what the reader holds follows
// the directory's real bytes, whatever its header says.
constexpr uint32_t kLinkMaxEntries = uint32_t{1} << 18;

// A directory entry as the reader keeps it: the name lives in the reader's
// name pool, so an entry costs its name's length rather than a whole record.
struct LinkEntry {
    const char* name;  // CP932, NUL-terminated, shorter than kLinkNameSize
    uint32_t attributes;
    uint32_t options;
    uint32_t offset;  // from the start of the data area
    uint32_t size;    // stored bytes (compressed size when compressed)
};

// A directory record as the writer builds it.
struct LinkRecord {
    char name[kLinkNameSize];  // NUL-terminated
    uint32_t attributes;
    uint32_t options;
    uint32_t offset;
    uint32_t size;
};

// Where Link_ReadToStream puts an entry's bytes: memory or a file.
class LinkStream {
public:
    virtual ~LinkStream() = default;
    // False when the bytes could not be taken (a full disk, say).
    virtual bool Write(const void* data, size_t size) = 0;
};

class LinkMemoryStream : public LinkStream {
public:
    bool Write(const void* data, size_t size) override;
    std::string bytes;
};

// Memory that takes at most `limit` bytes in all: a write past it is refused,
// which ends the read there (inflating included), and sets `overflowed`.
class LinkBoundedStream : public LinkMemoryStream {
public:
    explicit LinkBoundedStream(size_t limit) : limit_(limit) {}
    bool Write(const void* data, size_t size) override;
    bool overflowed = false;

private:
    size_t limit_;
};

class LinkFileStream : public LinkStream {
public:
    explicit LinkFileStream(FILE* file) : file_(file) {}
    bool Write(const void* data, size_t size) override;

private:
    FILE* file_;
};

struct LinkReader {
    FILE* file = nullptr;
    int32_t count = 0;
    uint64_t dataBase = 0;  // absolute file position of the data area
    uint64_t fileSize = 0;
    int32_t current = -1;  // entry of the last seek
    LinkHeader header{};
    std::vector<LinkEntry> entries;
    // The entries' names, each ending in NUL, in blocks that never move.
    std::vector<std::unique_ptr<char[]>> nameBlocks;
    // Open-addressing table of entry indices (-1: empty slot), hashed on the
    // name with a-z upper-cased under a key secret to the run; holds only the
    // first entry of each name.
    std::vector<int32_t> nameTable;
};

// Reader. Paths are disk paths (UTF-8); entry names are CP932 bytes.
bool Link_Open(const char* path, LinkReader* reader);
bool Link_OpenAppended(const char* path, LinkReader* reader);
void Link_Close(LinkReader* reader);
const LinkEntry* Link_GetEntry(const LinkReader* reader, int32_t index);
// Names match ignoring the case of ASCII letters; the first match wins. A null
// name is the empty name.
int32_t Link_FindIndex(const LinkReader* reader, const char* name);
const LinkEntry* Link_FindEntry(const LinkReader* reader, const char* name);
bool Link_Seek(LinkReader* reader, int32_t index);
// Reads items from the current position, clipped to the current entry: never a
// byte before or after it. Callers read in a loop and stop at a short count.
// For unclipped reading (a decoder that finds its own end), Link_Seek and then
// read reader->file directly.
size_t Link_Read(LinkReader* reader, void* buffer, size_t itemSize, size_t itemCount);
// The entry's plain bytes (inflated when compressed) appended to `stream`.
bool Link_ReadToStream(LinkStream* stream, int32_t index, LinkReader* reader);
bool Link_ReadByName(LinkStream* stream, const char* name, LinkReader* reader);
// True when the file starts with the characters of `text`.
bool Link_HasId(const char* path, const char* text);

// Inflates the current entry (positioned by Link_Seek) into `stream`; zlib
// failures are reported in an error box. Output beyond Link_InflateBound of the
// entry's stored size counts as a damaged stream.
bool Link_Inflate(LinkStream* stream, LinkReader* reader);
// The same with the bound on the output given.
bool Link_InflateWithin(LinkStream* stream, LinkReader* reader, uint64_t maxBytes);
uint64_t Link_InflateBound(uint32_t storedSize);

struct LinkWriter {
    FILE* output = nullptr;
    FILE* headerTemp = nullptr;
    FILE* dataTemp = nullptr;
    std::string headerTempPath;
    std::string dataTempPath;
    LinkHeader header{};
    LinkRecord entry{};  // the entry being written; callers may set its attributes and options
    bool entryOpen = false;
    bool failed = false;  // a write went wrong; Finish reports it
    uint32_t defaultAttributes = 0;
};

void LinkW_Init(LinkWriter* writer);
// Opens the output and two temporary files, "$LHTEMP$.TMP" and "$LDTEMP$.TMP" in
// the current directory; LinkW_CreateWith places them elsewhere.
bool LinkW_Create(LinkWriter* writer, const char* path);
bool LinkW_CreateWith(LinkWriter* writer, const char* path, const char* headerTempPath,
                      const char* dataTempPath);
void Link_SetId(char* field, const char* text);
int Link_CompareId(const char* field, const char* text);
void LinkW_SetDefaultKind(LinkWriter* writer);
uint32_t Link_KindOf(const LinkEntry* entry);
// False (and no entry begun) for a name of 256 bytes or more.
bool LinkW_BeginEntry(LinkWriter* writer, const char* name);
size_t LinkW_Write(LinkWriter* writer, const void* buffer, size_t itemSize, size_t itemCount);
// False when no entry was begun or the entry lies beyond what 32-bit offsets reach.
bool LinkW_EndEntry(LinkWriter* writer);
// Copies a whole file (an executable) and the separator into the output, ahead
// of the archive that LinkW_Finish writes.
bool LinkW_WriteStub(LinkWriter* writer, const char* path);
// Writes the archive, closes the files and removes the temporary ones; false
// when any write since LinkW_CreateWith went wrong.
bool LinkW_Finish(LinkWriter* writer);

}  // namespace storage
