// vp3tool list and verify: what a package holds and whether it is sound.
#include <cinttypes>
#include <cstdio>

#include "names.h"
#include "storage/Velto_access.h"
#include "vp3tool.h"

namespace vp3tool {
namespace {

// Counts the plain bytes of an entry without keeping them.
class CountingStream : public storage::LinkStream {
public:
    bool Write(const void*, size_t size) override {
        count += size;
        return true;
    }
    uint64_t count = 0;
};

// The plain size: the stored size, or for a compressed entry what it inflates to.
bool PlainSize(Package& package, int32_t index, uint64_t& size) {
    const storage::LinkEntry& entry = package.Entry(index);
    size = entry.size;
    if (!IsCompressed(entry)) return true;
    CountingStream counter;
    if (!package.ReadEntry(index, &counter)) return false;
    size = counter.count;
    return true;
}

// Reports the entry's first fault; true when it has none.
bool VerifyEntry(Package& package, int32_t index) {
    const storage::LinkEntry& entry = package.Entry(index);
    std::string why;
    if (!ExtractionPath(entry.name, &why)) {
        package.ReportEntryError(index, "unsafe name: " + why);
        return false;
    }
    int32_t first = package.FindIndex(entry.name);
    if (first != index) {
        package.ReportEntryError(index, "hidden by entry " + std::to_string(first) +
                                            ", whose name differs at most in letter case");
        return false;
    }
    if (IsCompressedPicture(entry)) {
        package.ReportEntryError(index,
                                 "compressed PNG picture: the player reads pictures only "
                                 "when they are stored as they are");
        return false;
    }
    if (!IsCompressed(entry)) return true;
    CountingStream sink;
    return package.ReadEntry(index, &sink);
}

}  // namespace

int List(const Arguments& args) {
    if (args.size() != 1) return UsageError("list takes one package");
    Package package;
    if (!package.Open(args[0])) return kExitBadInput;
    std::printf("ID: %s\nDescription: %s\n", package.Id().c_str(), package.Description().c_str());
    bool sound = true;
    for (int32_t i = 0; i < package.Count(); ++i) {
        const storage::LinkEntry& entry = package.Entry(i);
        uint64_t plainSize = 0;
        bool inflated = PlainSize(package, i, plainSize);
        sound = sound && inflated;
        std::printf("%s\t%" PRIu32 "\t%s\t%s\t%s\n", DisplayName(entry.name).c_str(), entry.size,
                    inflated ? std::to_string(plainSize).c_str() : "?",
                    IsCompressed(entry) ? "compressed" : "stored",
                    storage::IsMarkedForExtraction(entry) ? "extract" : "-");
    }
    return sound ? kExitOk : kExitBadInput;
}

int Verify(const Arguments& args) {
    if (args.size() != 1) return UsageError("verify takes one package");
    Package package;
    if (!package.Open(args[0])) return kExitBadInput;
    int faults = 0;
    for (int32_t i = 0; i < package.Count(); ++i) {
        if (!VerifyEntry(package, i)) ++faults;
    }
    if (faults > 0) return kExitBadInput;
    std::printf("%s: sound, entries: %" PRId32 "\n", package.Path().c_str(), package.Count());
    return kExitOk;
}

}  // namespace vp3tool
