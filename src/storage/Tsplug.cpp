#include "storage/Tsplug.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "graphics/Las_grf.h"
#include "platform/cp932.h"
#include "platform/files.h"

namespace storage {

static_assert(sizeof(SpiBitmapInfoHeader) == 40 && sizeof(SpiRgbQuad) == 4);
static_assert(std::endian::native == std::endian::little, "plug-in headers are little-endian");
static_assert(SPI_MAX_SIDE == graphics::kMaxPictureSide &&
              SPI_MAX_PIXELS == graphics::kMaxPicturePixels);

namespace {

constexpr int kInfoTextBuffer = 256;

std::string InfoText(SpiGetPluginInfoProc getPluginInfo, int number) {
    char buffer[kInfoTextBuffer] = {};
    getPluginInfo(number, buffer, kInfoTextBuffer - 1);
    buffer[kInfoTextBuffer - 1] = '\0';  // whatever the plug-in wrote
    return buffer;
}

template <typename Proc>
Proc Symbol(platform::LibraryHandle module, const char* name) {
    return reinterpret_cast<Proc>(platform::LibrarySymbol(module, name));
}

// Fills the record from the loaded library; false when it is not an import
// plug-in the player can call.
bool ReadPlugIn(TPlug& plug) {
    plug.getPluginInfo = Symbol<SpiGetPluginInfoProc>(plug.module, "GetPluginInfo");
    if (!plug.getPluginInfo) return false;
    plug.version = InfoText(plug.getPluginInfo, 0);
    plug.about = InfoText(plug.getPluginInfo, 1);
    plug.typeName = InfoText(plug.getPluginInfo, 3);
    plug.pattern = platform::Cp932UpperCase(InfoText(plug.getPluginInfo, 2));
    if (plug.version != SPI_IMPORT_VERSION) return false;
    plug.getPictureInfo = Symbol<SpiGetPictureInfoProc>(plug.module, "GetPictureInfo");
    plug.isSupported = Symbol<SpiIsSupportedProc>(plug.module, "IsSupported");
    plug.getPicture = Symbol<SpiGetPictureProc>(plug.module, "GetPicture");
    return plug.isSupported && plug.getPicture;
}

}  // namespace

TSusiePlugIn::~TSusiePlugIn() {
    ClosePlugIn();
}

int32_t TSusiePlugIn::OpenPlugIn(const std::string& mask) {
    int32_t admitted = 0;
    for (const std::string& path : platform::FindLibraries(mask)) {
        if (CheckPlug(path) == 0) continue;
        TPlug plug;
        plug.path = path;
        plug.module = platform::OpenLibrary(path);
        if (!plug.module) continue;
        if (ReadPlugIn(plug)) {
            plugs_.push_back(std::move(plug));
            ++admitted;
        } else {
            platform::CloseLibrary(plug.module);
        }
    }
    return admitted;
}

bool TSusiePlugIn::ClosePlugIn() {
    for (const TPlug& plug : plugs_) platform::CloseLibrary(plug.module);
    plugs_.clear();
    return true;
}

const TPlug* TSusiePlugIn::GetPlugInInfo(int32_t index) const {
    return index >= 0 && index < GetPlugNum() ? &plugs_[index] : nullptr;
}

int32_t TSusiePlugIn::CheckPlug(const std::string& path) const {
    bool loaded = std::any_of(plugs_.begin(), plugs_.end(),
                              [&](const TPlug& plug) { return plug.path == path; });
    return loaded ? 0 : -1;
}

int32_t TSusiePlugIn::LoadFromMemory(const void* data, size_t size, DecodedPicture& picture) {
    if (!data || plugs_.empty() || size > size_t{LONG_MAX}) return 0;
    // A plug-in may read this much of any picture to recognise it, so a short
    // one is padded with zeros rather than read past its end.
    std::array<char, SPI_PROBE_BYTES> probe{};
    std::memcpy(probe.data(), data, std::min(size, probe.size()));
    for (const TPlug& plug : plugs_) {
        if (plug.isSupported(nullptr, probe.data()) != 0 &&
            TakePicture(plug, data, size, picture)) {
            return -1;
        }
    }
    return 0;
}

int32_t TSusiePlugIn::LoadFromFile(const std::string& path, DecodedPicture& picture) {
    if (plugs_.empty()) return 0;
    auto bytes = platform::ReadFile(path, kMaxPictureFileBytes);
    return bytes ? LoadFromMemory(bytes->data(), bytes->size(), picture) : 0;
}

int32_t TSusiePlugIn::LoadFromStream(const LinkMemoryStream& stream, size_t size,
                                     DecodedPicture& picture) {
    return LoadFromMemory(stream.bytes.data(), std::min(size, stream.bytes.size()), picture);
}

bool TSusiePlugIn::TakePicture(const TPlug& plug, const void* data, size_t size,
                               DecodedPicture& picture) {
    void* info = nullptr;
    void* bits = nullptr;
    int result = plug.getPicture(static_cast<const char*>(data), static_cast<long>(size),
                                 SPI_SOURCE_MEMORY, &info, &bits, &TSusiePlugIn::ReportProgress,
                                 reinterpret_cast<intptr_t>(this));
    // After a failure the pointers are not ours to free, whatever they hold.
    if (result != SPI_OK) return false;
    bool taken = info && bits && info != bits &&
                 DecodeDib(info, platform::LibraryBlockSize(info), bits,
                           platform::LibraryBlockSize(bits), picture);
    platform::FreeLibraryBlock(info);
    if (bits != info) platform::FreeLibraryBlock(bits);
    return taken;
}

int TSusiePlugIn::ReportProgress(int done, int total, intptr_t host) noexcept {
    auto* self = reinterpret_cast<TSusiePlugIn*>(host);
    if (self->OnWorking) self->OnWorking(*self, done, total);
    return 0;
}

}  // namespace storage
