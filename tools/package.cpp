#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "names.h"
#include "platform/ascii.h"
#include "platform/dialogs.h"
#include "platform/encoding.h"
#include "vp3tool.h"

namespace vp3tool {
namespace {

// A plain archive starts with its ID; anything else (an executable, say) may
// carry an archive behind a separator line.
bool StartsWithArchiveId(FILE* file) {
    char id[storage::kLinkIdSize];
    if (std::fread(id, 1, sizeof id, file) != sizeof id) return false;
    size_t length = strnlen(id, sizeof id);
    return IsArchiveId(std::string_view(id, length)) &&
           std::all_of(id + length, id + sizeof id, [](char c) { return c == '\0'; });
}

}  // namespace

platform::HeadlessBackend& Platform() {
    static platform::HeadlessBackend backend;
    return backend;
}

void ReportError(std::string_view subject, std::string_view message) {
    std::fprintf(stderr, "vp3tool: %.*s: %.*s\n", static_cast<int>(subject.size()), subject.data(),
                 static_cast<int>(message.size()), message.data());
}

int UsageError(std::string_view message) {
    std::fprintf(stderr, "vp3tool: %.*s (see vp3tool --help)\n", static_cast<int>(message.size()),
                 message.data());
    return kExitUsage;
}

bool IsArchiveId(std::string_view id) {
    return !id.empty() && id.size() < storage::kLinkIdSize &&
           std::all_of(id.begin(), id.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

bool Package::Open(const std::string& path) {
    path_ = path;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        ReportError(path, std::string("cannot open: ") + std::strerror(errno));
        return false;
    }
    bool plain = StartsWithArchiveId(file);
    std::fclose(file);
    if (plain ? storage::Link_Open(path.c_str(), &reader_)
              : storage::Link_OpenAppended(path.c_str(), &reader_)) {
        return true;
    }
    ReportError(path,
                plain ? "damaged archive: its directory does not fit the file or holds too many "
                        "entries"
                      : "not a package: no archive ID at its start and no appended archive");
    return false;
}

std::string Package::Id() const {
    const char* id = reader_.header.id;
    return PrintableText(std::string_view(id, strnlen(id, storage::kLinkIdSize)));
}

std::string Package::Description() const {
    return PrintableText(reader_.header.description);
}

int32_t Package::FindIndex(const std::string& entryName) const {
    return storage::Link_FindIndex(&reader_, entryName.c_str());
}

bool Package::ReadEntry(int32_t index, storage::LinkStream* stream) {
    return ReadEntry(index, stream, [] { return std::string("cannot read the entry"); });
}

bool Package::ReadEntry(int32_t index, storage::LinkStream* stream,
                        const std::function<std::string()>& failure) {
    // A damaged zlib stream shows up as a message box; here it becomes a line.
    platform::HeadlessDialogs& boxes = Platform().Boxes();
    auto printBox = std::exchange(boxes.onShow, [this, index](const platform::MessageRecord& box) {
        ReportEntryError(index, platform::Cp932ToUtf8(box.text));
    });
    boxes.Clear();
    bool read = storage::Link_ReadToStream(stream, index, &reader_);
    boxes.onShow = std::move(printBox);
    if (!read && boxes.Records().empty()) ReportEntryError(index, failure());
    return read;
}

void Package::ReportEntryError(int32_t index, std::string_view message) const {
    ReportError(path_ + ": " + DisplayName(Entry(index).name), message);
}

bool IsCompressed(const storage::LinkEntry& entry) {
    return (entry.attributes & storage::kLinkCompressed) != 0;
}

bool IsCompressedPicture(const storage::LinkEntry& entry) {
    return IsCompressed(entry) && platform::HasExtension(entry.name, ".png");
}

}  // namespace vp3tool
