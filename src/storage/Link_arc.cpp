#include "storage/Link_arc.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/ascii.h"
#include "platform/random.h"

namespace storage {

namespace {

constexpr const char* kWriterId = "LINKAGE";
constexpr const char* kWriterDescription = "Create by \"Linkage file unit Rev.8f\"";
constexpr const char* kHeaderTempName = "$LHTEMP$.TMP";
constexpr const char* kDataTempName = "$LDTEMP$.TMP";

// An appended archive follows a line of "-" ending in "+". The writer puts
// 255 dashes; the reader accepts any run longer than 200.
constexpr size_t kSeparatorDashes = 255;
constexpr uint64_t kMinSeparatorRun = 201;

// Piece size for copying and scanning files; large, so that big entries do not
// cost a stdio call per couple of kilobytes.
constexpr size_t kCopyPiece = 64 * 1024;
// Directory records read with one stdio call.
constexpr size_t kDirectoryBatch = 256;
// Entry names are kept in blocks of this size; a name never spans two.
constexpr size_t kNameBlockSize = 16 * 1024;

uint32_t GetLe32(const unsigned char* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

void PutLe32(unsigned char* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

// SipHash-1-3 with a key chosen at random once per run: names from a package
// cannot be picked to collide in the name table, which would make opening
// quadratic in the entry count.
class NameHasher {
public:
    NameHasher() : key0_(platform::SecretRandom64()), key1_(platform::SecretRandom64()) {}

    // The hash of `name` with a-z upper-cased.
    uint64_t operator()(const char* name) const {
        uint64_t v[4] = {key0_ ^ 0x736f6d6570736575u, key1_ ^ 0x646f72616e646f6du,
                         key0_ ^ 0x6c7967656e657261u, key1_ ^ 0x7465646279746573u};
        uint64_t word = 0;
        uint64_t length = 0;
        for (; *name != '\0'; ++name) {
            word |= uint64_t{static_cast<unsigned char>(platform::AsciiUpper(*name))}
                    << (8 * (length % 8));
            if (++length % 8 == 0) {
                Absorb(v, word);
                word = 0;
            }
        }
        Absorb(v, word | length << 56);
        v[2] ^= 0xff;
        for (int i = 0; i < 3; ++i) Round(v);
        return v[0] ^ v[1] ^ v[2] ^ v[3];
    }

private:
    static void Round(uint64_t* v) {
        v[0] += v[1];
        v[1] = std::rotl(v[1], 13) ^ v[0];
        v[0] = std::rotl(v[0], 32);
        v[2] += v[3];
        v[3] = std::rotl(v[3], 16) ^ v[2];
        v[0] += v[3];
        v[3] = std::rotl(v[3], 21) ^ v[0];
        v[2] += v[1];
        v[1] = std::rotl(v[1], 17) ^ v[2];
        v[2] = std::rotl(v[2], 32);
    }

    static void Absorb(uint64_t* v, uint64_t word) {
        v[3] ^= word;
        Round(v);
        v[0] ^= word;
    }

    uint64_t key0_;
    uint64_t key1_;
};

uint64_t FoldedHash(const char* name) {
    static const NameHasher hasher;
    return hasher(name);
}

bool SameFoldedName(const char* a, const char* b) {
    for (; platform::AsciiUpper(*a) == platform::AsciiUpper(*b); ++a, ++b) {
        if (*a == '\0') return true;
    }
    return false;
}

// The slot that holds the first entry called `name`, or the empty slot where
// it would go.
size_t FindSlot(const LinkReader* reader, const char* name) {
    size_t mask = reader->nameTable.size() - 1;
    for (size_t slot = FoldedHash(name) & mask;; slot = (slot + 1) & mask) {
        int32_t index = reader->nameTable[slot];
        if (index < 0 || SameFoldedName(reader->entries[index].name, name)) return slot;
    }
}

// At most half full, so that probes stay short and always end.
void IndexNames(LinkReader* reader) {
    size_t slots = 16;
    while (slots < 2 * reader->entries.size()) slots *= 2;
    reader->nameTable.assign(slots, -1);
    for (int32_t i = 0; i < reader->count; ++i) {
        size_t slot = FindSlot(reader, reader->entries[i].name);
        if (reader->nameTable[slot] < 0) reader->nameTable[slot] = i;
    }
}

bool FileSize(FILE* file, uint64_t& size) {
    if (fseeko(file, 0, SEEK_END) != 0) return false;
    off_t end = ftello(file);
    if (end < 0) return false;
    size = static_cast<uint64_t>(end);
    return true;
}

bool ReadHeader(FILE* file, LinkHeader& header) {
    unsigned char raw[kLinkHeaderSize];
    if (fread(raw, 1, sizeof raw, file) != sizeof raw) return false;
    std::memcpy(header.id, raw, kLinkIdSize);
    std::memcpy(header.description, raw + kLinkIdSize, kLinkDescriptionSize);
    header.description[kLinkDescriptionSize - 1] = '\0';
    header.count = GetLe32(raw + kLinkIdSize + kLinkDescriptionSize);
    return true;
}

// Copies names into the reader's blocks, each name whole in one block.
class NameStore {
public:
    explicit NameStore(std::vector<std::unique_ptr<char[]>>& blocks) : blocks_(blocks) {}

    const char* Add(const char* name, size_t length) {
        if (length >= kNameBlockSize - used_) {
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(kNameBlockSize));
            used_ = 0;
        }
        char* copy = blocks_.back().get() + used_;
        std::memcpy(copy, name, length);
        copy[length] = '\0';
        used_ += length + 1;
        return copy;
    }

private:
    std::vector<std::unique_ptr<char[]>>& blocks_;
    size_t used_ = kNameBlockSize;
};

void DecodeEntry(const unsigned char* raw, LinkEntry& entry, NameStore& names) {
    const char* name = reinterpret_cast<const char*>(raw);
    entry.name = names.Add(name, strnlen(name, kLinkNameSize - 1));
    entry.attributes = GetLe32(raw + kLinkNameSize);
    entry.options = GetLe32(raw + kLinkNameSize + 4);
    entry.offset = GetLe32(raw + kLinkNameSize + 8);
    entry.size = GetLe32(raw + kLinkNameSize + 12);
}

void EncodeRecord(const LinkRecord& entry, unsigned char* raw) {
    std::memcpy(raw, entry.name, kLinkNameSize);
    PutLe32(raw + kLinkNameSize, entry.attributes);
    PutLe32(raw + kLinkNameSize + 4, entry.options);
    PutLe32(raw + kLinkNameSize + 8, entry.offset);
    PutLe32(raw + kLinkNameSize + 12, entry.size);
}

// Reads the header and the directory of the archive starting at `base`,
// refusing a directory or an entry that reaches past the end of the file.
bool ReadArchiveAt(LinkReader* reader, uint64_t base) {
    if (fseeko(reader->file, static_cast<off_t>(base), SEEK_SET) != 0 ||
        !ReadHeader(reader->file, reader->header)) {
        return false;
    }
    uint64_t available = reader->fileSize - base;
    uint64_t directoryEnd = kLinkHeaderSize + uint64_t{reader->header.count} * kLinkEntrySize;
    if (reader->header.count > kLinkMaxEntries || directoryEnd > available) return false;
    uint64_t dataSize = available - directoryEnd;

    reader->entries.resize(reader->header.count);
    NameStore names(reader->nameBlocks);
    unsigned char raw[kLinkEntrySize * kDirectoryBatch];
    for (size_t first = 0; first < reader->entries.size(); first += kDirectoryBatch) {
        size_t batch = std::min(kDirectoryBatch, reader->entries.size() - first);
        if (fread(raw, kLinkEntrySize, batch, reader->file) != batch) return false;
        for (size_t i = 0; i < batch; ++i) {
            LinkEntry& entry = reader->entries[first + i];
            DecodeEntry(raw + i * kLinkEntrySize, entry, names);
            if (uint64_t{entry.offset} + entry.size > dataSize) return false;
        }
    }
    reader->count = static_cast<int32_t>(reader->header.count);
    reader->dataBase = base + directoryEnd;
    IndexNames(reader);
    return true;
}

// The position just after the separator's "+", or false when there is none.
bool FindSeparatorEnd(FILE* file, uint64_t& base) {
    if (fseeko(file, 0, SEEK_SET) != 0) return false;
    unsigned char buffer[kCopyPiece];
    uint64_t position = 0;
    uint64_t dashes = 0;
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        for (size_t i = 0; i < got; ++i) {
            if (dashes >= kMinSeparatorRun && buffer[i] == '+') {
                base = position + i + 1;
                return true;
            }
            dashes = buffer[i] == '-' ? dashes + 1 : 0;
        }
        position += got;
    }
    return false;
}

using BaseFinder = bool (*)(FILE* file, uint64_t& base);

bool StartsAtZero(FILE*, uint64_t& base) {
    base = 0;
    return true;
}

bool OpenWith(const char* path, LinkReader* reader, BaseFinder findBase) {
    if (!reader) return false;
    Link_Close(reader);
    if (!path) return false;
    reader->file = fopen(path, "rb");
    uint64_t base = 0;
    if (reader->file && FileSize(reader->file, reader->fileSize) && findBase(reader->file, base) &&
        ReadArchiveAt(reader, base)) {
        return true;
    }
    Link_Close(reader);
    return false;
}

bool WriteAll(FILE* file, const void* data, size_t size) {
    return fwrite(data, 1, size, file) == size;
}

// Copies the rest of `from` into `to`.
bool CopyRest(FILE* from, FILE* to) {
    char piece[kCopyPiece];
    size_t got;
    while ((got = fread(piece, 1, sizeof piece, from)) > 0) {
        if (!WriteAll(to, piece, got)) return false;
    }
    return !ferror(from);
}

// Copies the current entry from its start, clipped; true when all its bytes came.
template <typename Sink>
bool CopyEntryBytes(LinkReader* reader, Sink&& sink) {
    uint64_t expected = reader->entries[reader->current].size;
    uint64_t copied = 0;
    char piece[kCopyPiece];
    size_t got;
    while ((got = Link_Read(reader, piece, 1, sizeof piece)) > 0) {
        if (!sink(piece, got)) return false;
        copied += got;
    }
    return copied == expected;
}

void CloseFile(FILE*& file, bool& ok) {
    if (file && fclose(file) != 0) ok = false;
    file = nullptr;
}

}  // namespace

bool LinkMemoryStream::Write(const void* data, size_t size) {
    bytes.append(static_cast<const char*>(data), size);
    return true;
}

bool LinkBoundedStream::Write(const void* data, size_t size) {
    if (size > limit_ - bytes.size()) {
        overflowed = true;
        return false;
    }
    return LinkMemoryStream::Write(data, size);
}

bool LinkFileStream::Write(const void* data, size_t size) {
    return WriteAll(file_, data, size);
}

bool Link_Open(const char* path, LinkReader* reader) {
    return OpenWith(path, reader, StartsAtZero);
}

bool Link_OpenAppended(const char* path, LinkReader* reader) {
    return OpenWith(path, reader, FindSeparatorEnd);
}

void Link_Close(LinkReader* reader) {
    if (!reader) return;
    if (reader->file) fclose(reader->file);
    *reader = LinkReader{};
}

const LinkEntry* Link_GetEntry(const LinkReader* reader, int32_t index) {
    if (!reader || index < 0 || index >= reader->count) return nullptr;
    return &reader->entries[index];
}

int32_t Link_FindIndex(const LinkReader* reader, const char* name) {
    if (!reader || reader->nameTable.empty()) return -1;
    return reader->nameTable[FindSlot(reader, name ? name : "")];
}

const LinkEntry* Link_FindEntry(const LinkReader* reader, const char* name) {
    return Link_GetEntry(reader, Link_FindIndex(reader, name));
}

bool Link_Seek(LinkReader* reader, int32_t index) {
    const LinkEntry* entry = Link_GetEntry(reader, index);
    if (!entry || !reader->file) return false;
    reader->current = index;
    return fseeko(reader->file, static_cast<off_t>(reader->dataBase + entry->offset), SEEK_SET) ==
           0;
}

size_t Link_Read(LinkReader* reader, void* buffer, size_t itemSize, size_t itemCount) {
    const LinkEntry* entry = Link_GetEntry(reader, reader ? reader->current : -1);
    if (!entry || !reader->file || itemSize == 0) return 0;
    off_t position = ftello(reader->file);
    uint64_t start = reader->dataBase + entry->offset;
    uint64_t end = start + entry->size;
    if (position < 0 || static_cast<uint64_t>(position) < start ||
        static_cast<uint64_t>(position) >= end) {
        return 0;
    }
    uint64_t left = end - static_cast<uint64_t>(position);
    // Never reads past the entry, not even to complete the last item.
    size_t bytes = itemCount <= left / itemSize ? itemSize * itemCount : static_cast<size_t>(left);
    return fread(buffer, 1, bytes, reader->file) / itemSize;
}

bool Link_ReadToStream(LinkStream* stream, int32_t index, LinkReader* reader) {
    if (!stream || !Link_Seek(reader, index)) return false;
    if (reader->entries[index].attributes & kLinkCompressed) return Link_Inflate(stream, reader);
    return CopyEntryBytes(
        reader, [stream](const char* data, size_t size) { return stream->Write(data, size); });
}

bool Link_ReadByName(LinkStream* stream, const char* name, LinkReader* reader) {
    return Link_ReadToStream(stream, Link_FindIndex(reader, name), reader);
}

bool Link_HasId(const char* path, const char* text) {
    if (!path || !text) return false;
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    bool matches = true;
    for (const char* c = text; *c != '\0' && matches; ++c) {
        matches = getc(file) == static_cast<unsigned char>(*c);
    }
    fclose(file);
    return matches;
}

void LinkW_Init(LinkWriter* writer) {
    *writer = LinkWriter{};
    Link_SetId(writer->header.id, kWriterId);
    std::strcpy(writer->header.description, kWriterDescription);
}

bool LinkW_Create(LinkWriter* writer, const char* path) {
    return LinkW_CreateWith(writer, path, kHeaderTempName, kDataTempName);
}

bool LinkW_CreateWith(LinkWriter* writer, const char* path, const char* headerTempPath,
                      const char* dataTempPath) {
    if (!writer || !path || !headerTempPath || !dataTempPath) return false;
    writer->headerTempPath = headerTempPath;
    writer->dataTempPath = dataTempPath;
    writer->output = fopen(path, "wb");
    if (writer->output) writer->headerTemp = fopen(headerTempPath, "w+b");
    if (writer->headerTemp) writer->dataTemp = fopen(dataTempPath, "w+b");
    if (writer->dataTemp) return true;

    bool ignored = true;
    CloseFile(writer->output, ignored);
    if (writer->headerTemp) {
        CloseFile(writer->headerTemp, ignored);
        std::remove(headerTempPath);
    }
    return false;
}

void Link_SetId(char* field, const char* text) {
    std::memset(field, 0, kLinkIdSize);
    for (size_t i = 0; text && i < kLinkIdSize && text[i] != '\0'; ++i) field[i] = text[i];
}

int Link_CompareId(const char* field, const char* text) {
    for (size_t i = 0; text && i < kLinkIdSize && text[i] != '\0'; ++i) {
        if (field[i] != text[i]) return 1;
    }
    return 0;
}

void LinkW_SetDefaultKind(LinkWriter* writer) {
    writer->defaultAttributes |= kLinkKindMask;
}

uint32_t Link_KindOf(const LinkEntry* entry) {
    return entry->attributes & kLinkKindMask;
}

bool LinkW_BeginEntry(LinkWriter* writer, const char* name) {
    writer->entryOpen = false;
    if (!writer->dataTemp || !name || strnlen(name, kLinkNameSize) == kLinkNameSize) return false;
    off_t offset = ftello(writer->dataTemp);
    if (offset < 0 || offset > off_t{UINT32_MAX}) {
        writer->failed = true;
        return false;
    }
    writer->entry = LinkRecord{};
    std::strcpy(writer->entry.name, name);
    writer->entry.attributes = writer->defaultAttributes;
    writer->entry.offset = static_cast<uint32_t>(offset);
    writer->entryOpen = true;
    return true;
}

size_t LinkW_Write(LinkWriter* writer, const void* buffer, size_t itemSize, size_t itemCount) {
    if (!writer->entryOpen || itemSize == 0) return 0;
    size_t written = fwrite(buffer, itemSize, itemCount, writer->dataTemp);
    if (written != itemCount) writer->failed = true;
    return written;
}

bool LinkW_EndEntry(LinkWriter* writer) {
    if (!writer->entryOpen) return false;
    writer->entryOpen = false;
    off_t end = ftello(writer->dataTemp);
    if (end < off_t{writer->entry.offset} || end > off_t{UINT32_MAX}) {
        writer->failed = true;
        return false;
    }
    writer->entry.size = static_cast<uint32_t>(end - writer->entry.offset);
    unsigned char raw[kLinkEntrySize];
    EncodeRecord(writer->entry, raw);
    if (!WriteAll(writer->headerTemp, raw, sizeof raw)) {
        writer->failed = true;
        return false;
    }
    ++writer->header.count;
    return true;
}

bool LinkW_WriteStub(LinkWriter* writer, const char* path) {
    FILE* stub = writer->output && path ? fopen(path, "rb") : nullptr;
    if (!stub) return false;
    bool ok = CopyRest(stub, writer->output);
    fclose(stub);
    char separator[kSeparatorDashes + 1];
    std::memset(separator, '-', kSeparatorDashes);
    separator[kSeparatorDashes] = '+';
    return WriteAll(writer->output, separator, sizeof separator) && ok;
}

bool LinkW_Finish(LinkWriter* writer) {
    if (!writer->output || !writer->headerTemp || !writer->dataTemp) return false;
    unsigned char header[kLinkHeaderSize] = {};
    std::memcpy(header, writer->header.id, kLinkIdSize);
    std::memcpy(header + kLinkIdSize, writer->header.description, kLinkDescriptionSize);
    PutLe32(header + kLinkIdSize + kLinkDescriptionSize, writer->header.count);

    // The directory sits in the header file already in its final form.
    bool ok = !writer->failed && WriteAll(writer->output, header, sizeof header) &&
              fseeko(writer->headerTemp, 0, SEEK_SET) == 0 &&
              CopyRest(writer->headerTemp, writer->output) &&
              fseeko(writer->dataTemp, 0, SEEK_SET) == 0 &&
              CopyRest(writer->dataTemp, writer->output);
    CloseFile(writer->output, ok);
    CloseFile(writer->headerTemp, ok);
    CloseFile(writer->dataTemp, ok);
    std::remove(writer->headerTempPath.c_str());
    std::remove(writer->dataTempPath.c_str());
    return ok;
}

}  // namespace storage
