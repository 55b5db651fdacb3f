// Feeds arbitrary bytes to the TGA plug-in, linked in directly, the way the
// player offers it a picture. Besides crashes it checks that every picture the
// plug-in claims to decode passes the player's checks on plug-in output and
// agrees with what GetPictureInfo says. The same bytes also go to those checks
// as a plug-in's header and bits block, the output of a plug-in gone wrong.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/dynlib.h"
#include "storage/Tsplug.h"
#include "storage/spi_plugin.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Each step reported once, counting up to the total.
struct Progress {
    int next = 0;
    int total = -1;
};

int CountStep(int done, int total, intptr_t data) {
    auto* progress = reinterpret_cast<Progress*>(data);
    Check(done == progress->next++ && (progress->total < 0 || total == progress->total));
    progress->total = total;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    storage::DecodedPicture picture;
    storage::DecodeDib(data, size, data, size, picture);

    std::array<char, SPI_PROBE_BYTES> probe{};
    std::memcpy(probe.data(), data, std::min(size, probe.size()));
    if (!IsSupported(nullptr, probe.data())) return 0;

    const auto* bytes = reinterpret_cast<const char*>(data);
    void* info = nullptr;
    void* bits = nullptr;
    Progress progress;
    if (GetPicture(bytes, long(size), SPI_SOURCE_MEMORY, &info, &bits, CountStep,
                   reinterpret_cast<intptr_t>(&progress)) != SPI_OK) {
        Check(!info && !bits);
        return 0;
    }
    Check(storage::DecodeDib(info, platform::LibraryBlockSize(info), bits,
                             platform::LibraryBlockSize(bits), picture));
    Check(progress.next == progress.total + 1);
    SpiPictureInfo about;
    Check(GetPictureInfo(bytes, long(size), SPI_SOURCE_MEMORY, &about) == SPI_OK);
    Check(about.width == picture.width && about.height == picture.height && !about.text);
    platform::FreeLibraryBlock(info);
    platform::FreeLibraryBlock(bits);
    return 0;
}
