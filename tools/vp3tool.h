// vp3tool: builds and inspects packages. Shared pieces of its commands.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/headless.h"
#include "storage/Link_arc.h"

namespace vp3tool {

enum ExitStatus { kExitOk = 0, kExitBadInput = 1, kExitUsage = 2 };

using Arguments = std::vector<std::string>;

int Create(const Arguments& args);
int List(const Arguments& args);
int Extract(const Arguments& args);
int Verify(const Arguments& args);
int Convert(const Arguments& args);
int Check(const Arguments& args);

// The tool has no window: its platform is headless, and the message boxes
// the player's code shows are printed on stderr.
platform::HeadlessBackend& Platform();

// Prints "vp3tool: SUBJECT: MESSAGE" on stderr, one line.
void ReportError(std::string_view subject, std::string_view message);
// Reports a bad command line; returns kExitUsage.
int UsageError(std::string_view message);

// What the tool accepts and recognises as an archive ID: 1 to 7 printable
// ASCII characters, so that at least one NUL pads the 8-byte field.
bool IsArchiveId(std::string_view id);

// An open package: a plain archive or one appended to another file.
class Package {
public:
    Package() = default;
    ~Package() { storage::Link_Close(&reader_); }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Reports why on stderr when the file is no readable package.
    bool Open(const std::string& path);

    const std::string& Path() const { return path_; }
    std::string Id() const;
    std::string Description() const;
    int32_t Count() const { return reader_.count; }
    const storage::LinkEntry& Entry(int32_t index) const { return reader_.entries[index]; }
    int32_t FindIndex(const std::string& entryName) const;

    // The entry's plain bytes into `stream`. A failure is reported as one error
    // line: the archive layer's own message when it showed one, else `failure()`
    // (by default "cannot read the entry").
    bool ReadEntry(int32_t index, storage::LinkStream* stream);
    bool ReadEntry(int32_t index, storage::LinkStream* stream,
                   const std::function<std::string()>& failure);
    // Prints "vp3tool: PACKAGE: ENTRY: MESSAGE" on stderr.
    void ReportEntryError(int32_t index, std::string_view message) const;

private:
    std::string path_;
    storage::LinkReader reader_;
};

bool IsCompressed(const storage::LinkEntry& entry);
// A PNG picture stored as a zlib stream: players read pictures straight from
// the package file, so a game must store them as they are.
bool IsCompressedPicture(const storage::LinkEntry& entry);

}  // namespace vp3tool
