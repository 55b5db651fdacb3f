#include "storage/Tsplug.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "graphics/Las_grf.h"
#include "platform/encoding.h"
#include "platform/files.h"

namespace storage {

static_assert(sizeof(SpiBitmapInfoHeader) == 40 && sizeof(SpiRgbQuad) == 4);
static_assert(std::endian::native == std::endian::little, "plug-in headers are little-endian");
static_assert(SPI_MAX_SIDE == graphics::kMaxPictureSide &&
              SPI_MAX_PIXELS == graphics::kMaxPicturePixels);

namespace {

// Twice the largest plain picture the player takes (2^26 pixels of 32 bits).
constexpr size_t kMaxPictureFileBytes = size_t{1} << 29;
constexpr int kInfoTextBuffer = 256;

bool SupportedDepth(uint16_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || bitCount == 32;
}

// Rows are padded to whole 32-bit words.
uint64_t RowBytes(int64_t width, uint16_t bitCount) {
    return (uint64_t(width) * bitCount + 31) / 32 * 4;
}

// The header, when it is one the player takes: plain pixels of a supported
// depth, a size within the limits, and all of it inside the block.
bool ReadHeader(const void* info, size_t infoSize, SpiBitmapInfoHeader& header) {
    if (infoSize < sizeof header) return false;
    std::memcpy(&header, info, sizeof header);
    int64_t rows = std::abs(int64_t{header.height});
    return header.size >= sizeof header && header.size <= infoSize && header.compression == 0 &&
           SupportedDepth(header.bitCount) && header.width >= 1 && header.width <= SPI_MAX_SIDE &&
           rows >= 1 && rows <= SPI_MAX_SIDE && header.width * rows <= SPI_MAX_PIXELS;
}

// The colour table as pixel words; false when it runs past the block. Entries
// beyond 2^bitCount can never be used and are not read.
bool ReadPalette(const uint8_t* info, size_t infoSize, const SpiBitmapInfoHeader& header,
                 std::vector<uint32_t>& palette) {
    uint32_t possible = uint32_t{1} << header.bitCount;
    uint32_t entries = header.clrUsed == 0 ? possible : std::min(header.clrUsed, possible);
    if (uint64_t{entries} * sizeof(SpiRgbQuad) > infoSize - header.size) return false;
    palette.resize(entries);
    for (uint32_t i = 0; i < entries; ++i) {
        SpiRgbQuad quad;
        std::memcpy(&quad, info + header.size + i * sizeof quad, sizeof quad);
        palette[i] = uint32_t{quad.red} << 16 | uint32_t{quad.green} << 8 | quad.blue;
    }
    return true;
}

void ConvertRow(const uint8_t* row, const SpiBitmapInfoHeader& header,
                const std::vector<uint32_t>& palette, uint32_t* out) {
    int32_t width = header.width;
    if (header.bitCount >= 24) {
        size_t step = header.bitCount / 8;
        for (int32_t x = 0; x < width; ++x, row += step) {
            out[x] = uint32_t{row[2]} << 16 | uint32_t{row[1]} << 8 | row[0];
        }
        return;
    }
    // Indices fill each byte from its most significant bit down.
    int bits = header.bitCount;
    int perByte = 8 / bits;
    unsigned mask = (1u << bits) - 1;
    for (int32_t x = 0; x < width; ++x) {
        unsigned shift = 8 - bits * (x % perByte + 1);
        unsigned index = (row[x / perByte] >> shift) & mask;
        out[x] = index < palette.size() ? palette[index] : 0;
    }
}

// Only ASCII letters change; the second byte of a two-byte character may look
// like one and is stepped over.
std::string UpperCase(std::string text) {
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (platform::IsCp932LeadByte(c)) {
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            text[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

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
    plug.pattern = UpperCase(InfoText(plug.getPluginInfo, 2));
    if (plug.version != SPI_IMPORT_VERSION) return false;
    plug.getPictureInfo = Symbol<SpiGetPictureInfoProc>(plug.module, "GetPictureInfo");
    plug.isSupported = Symbol<SpiIsSupportedProc>(plug.module, "IsSupported");
    plug.getPicture = Symbol<SpiGetPictureProc>(plug.module, "GetPicture");
    return plug.isSupported && plug.getPicture;
}

}  // namespace

bool DecodeDib(const void* info, size_t infoSize, const void* bits, size_t bitsSize,
               DecodedPicture& picture) {
    SpiBitmapInfoHeader header;
    std::vector<uint32_t> palette;
    if (!info || !bits || !ReadHeader(info, infoSize, header)) return false;
    if (header.bitCount <= 8 &&
        !ReadPalette(static_cast<const uint8_t*>(info), infoSize, header, palette)) {
        return false;
    }
    int32_t rows = header.height < 0 ? -header.height : header.height;
    uint64_t stride = RowBytes(header.width, header.bitCount);
    if (stride * uint64_t(rows) > bitsSize) return false;

    DecodedPicture result{header.width, rows, std::vector<uint32_t>(size_t(header.width) * rows)};
    const auto* source = static_cast<const uint8_t*>(bits);
    for (int32_t y = 0; y < rows; ++y) {
        int32_t stored = header.height < 0 ? y : rows - 1 - y;
        ConvertRow(source + stride * stored, header, palette,
                   result.pixels.data() + size_t(y) * header.width);
    }
    picture = std::move(result);
    return true;
}

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
