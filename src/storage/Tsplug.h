// TSusiePlugIn: the host of image import plug-ins (see spi_plugin.h), shared
// objects that decode picture formats the player does not know itself. It
// loads the plug-ins a file mask finds, keeps the usable ones in name order,
// and offers a picture to each in turn. Everything a plug-in returns is
// checked before it is used: a buggy plug-in fails a picture, never the player.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dynlib.h"
#include "storage/Bmp_dec.h"
#include "storage/Link_arc.h"
#include "storage/spi_plugin.h"

namespace storage {

// One loaded plug-in.
struct TPlug {
    platform::LibraryHandle module = nullptr;
    std::string path;
    std::string version;
    std::string about;
    std::string pattern;  // upper-cased
    std::string typeName;
    SpiGetPluginInfoProc getPluginInfo = nullptr;
    SpiGetPictureInfoProc getPictureInfo = nullptr;  // optional, may stay null
    SpiIsSupportedProc isSupported = nullptr;
    SpiGetPictureProc getPicture = nullptr;
};

class TSusiePlugIn {
public:
    TSusiePlugIn() = default;
    ~TSusiePlugIn();
    TSusiePlugIn(const TSusiePlugIn&) = delete;
    TSusiePlugIn& operator=(const TSusiePlugIn&) = delete;

    // Loads the files matching `mask` (a directory + "*.spi"; letter case is
    // ignored) in byte order of their names, and admits the import plug-ins
    // among them that export GetPluginInfo, IsSupported and GetPicture. A path
    // already loaded is skipped. Returns the number admitted.
    int32_t OpenPlugIn(const std::string& mask);
    // Unloads every plug-in; true.
    bool ClosePlugIn();
    int32_t GetPlugNum() const { return static_cast<int32_t>(plugs_.size()); }
    // nullptr outside 0 to GetPlugNum() - 1; valid until the list changes.
    const TPlug* GetPlugInInfo(int32_t index) const;
    // 0 when a loaded plug-in has exactly this path, -1 otherwise.
    int32_t CheckPlug(const std::string& path) const;

    // -1 when a plug-in decoded the picture into `picture`, 0 otherwise
    // (`picture` then unchanged). The first plug-in that accepts the bytes
    // and returns a sound picture wins.
    int32_t LoadFromMemory(const void* data, size_t size, DecodedPicture& picture);
    int32_t LoadFromFile(const std::string& path, DecodedPicture& picture);
    // The first `size` bytes of the stream (no more than it holds).
    int32_t LoadFromStream(const LinkMemoryStream& stream, size_t size, DecodedPicture& picture);

    // Progress reported by a plug-in while it decodes: done of total steps.
    // Called from inside the plug-in, so it must not throw.
    std::function<void(TSusiePlugIn& sender, int32_t done, int32_t total)> OnWorking;

private:
    bool TakePicture(const TPlug& plug, const void* data, size_t size, DecodedPicture& picture);
    static int ReportProgress(int done, int total, intptr_t host) noexcept;

    std::vector<TPlug> plugs_;
};

}  // namespace storage
