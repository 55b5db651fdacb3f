// Pictures on disk by their file name: PNG through the picture itself, BMP
// and MAG through our decoders, anything else through the image plug-ins.
#pragma once

#include <functional>
#include <string>

#include "graphics/Las_grf.h"
#include "storage/Pic_buf.h"
#include "storage/Tsplug.h"

namespace storage {

// A BMP or MAG file by its extension; when that fails or the file is of
// another kind, the plug-ins that `plugins` hands out (loaded on demand).
bool DecodePictureFile(const std::string& path, DecodedPicture& bitmap,
                       const std::function<TSusiePlugIn&()>& plugins);

// Any picture file the player shows, PNG included.
bool LoadPictureFile(const std::string& path, graphics::TLasGraphic& graphic,
                     TSusiePlugIn& plugins);

}  // namespace storage
