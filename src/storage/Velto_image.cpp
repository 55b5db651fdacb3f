// Loading the pictures a scenario names: PNG through the picture itself, BMP
// and MAG through our decoders, anything else through the image plug-ins.
#include <cstdio>

#include "platform/ascii.h"
#include "platform/files.h"
#include "storage/Bmp_dec.h"
#include "storage/Image_load.h"
#include "storage/Mag_conv.h"
#include "storage/Velto_access.h"

namespace storage {
namespace {

bool DecodeBmpBytes(const std::string& bytes, DecodedPicture& bitmap) {
    return DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), bitmap);
}

// Games meant for Windows kept MAG pictures in their packages with a MAG
// plug-in beside the player; Windows plug-ins do not run here, so the player
// reads those itself before asking the plug-ins.
bool DecodeMagBytes(const std::string& bytes, DecodedPicture& bitmap) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    MagInfo info;
    if (MMAG_ParseHeader(data, bytes.size(), &info) != kMagComplete) return false;
    std::string image(MMAG_BmpSizeOf(&info), '\0');
    return MMAG_DecodeToBmp(data, bytes.size(), reinterpret_cast<uint8_t*>(image.data()),
                            image.size()) == 0 &&
           DecodeBmpBytes(image, bitmap);
}

}  // namespace

bool DecodePictureFile(const std::string& path, DecodedPicture& bitmap,
                       const std::function<TSusiePlugIn&()>& plugins) {
    bool loaded = false;
    if (platform::HasExtension(path, ".bmp")) {
        auto bytes = platform::ReadFile(path, kMaxPictureFileBytes);
        loaded = bytes && DecodeBmpBytes(*bytes, bitmap);
    } else if (platform::HasExtension(path, ".mag")) {
        loaded = TM2BC().Convert(path.c_str(), bitmap);
    }
    return loaded || plugins().LoadFromFile(path, bitmap) == -1;
}

bool LoadPictureFile(const std::string& path, graphics::TLasGraphic& graphic,
                     TSusiePlugIn& plugins) {
    if (platform::HasExtension(path, ".png")) return graphic.LoadPngFile(path);
    DecodedPicture bitmap;
    if (!DecodePictureFile(path, bitmap, [&]() -> TSusiePlugIn& { return plugins; })) return false;
    graphic.LoadFromGraphic(bitmap.width, bitmap.height, bitmap.pixels.data());
    return true;
}

bool TVeltoAccessControl::LoadImage(std::string_view name, graphics::TLasGraphic& graphic) {
    if (platform::HasExtension(name, ".png")) {
        bool loaded = package_.file ? LoadPngFromArchive(name, graphic, package_)
                                    : LoadPngFromDisk(name, graphic);
        if (!loaded && library_.file) loaded = LoadPngFromArchive(name, graphic, library_);
        return loaded;
    }
    DecodedPicture bitmap;
    bool loaded = package_.file ? LoadBitmapFromArchive(name, bitmap, package_)
                                : LoadBitmapFromFile(name, bitmap);
    if (loaded) graphic.LoadFromGraphic(bitmap.width, bitmap.height, bitmap.pixels.data());
    return loaded;
}

bool TVeltoAccessControl::HasImage(std::string_view name) {
    std::string entryName(name);
    bool found = package_.file ? Link_FindIndex(&package_, entryName.c_str()) >= 0
                               : FindGameFile(name).has_value();
    return found || (platform::HasExtension(name, ".png") && library_.file &&
                     Link_FindIndex(&library_, entryName.c_str()) >= 0);
}

bool TVeltoAccessControl::LoadPngFromArchive(std::string_view name, graphics::TLasGraphic& graphic,
                                             LinkReader& archive) {
    std::string entryName(name);
    int32_t index = Link_FindIndex(&archive, entryName.c_str());
    const LinkEntry* entry = Link_GetEntry(&archive, index);
    if (!entry) return false;
    if (!(entry->attributes & kLinkCompressed)) {
        // Read straight from the package file, as far as the entry goes.
        return Link_Seek(&archive, index) && graphic.LoadPngFromFile(archive.file, entry->size);
    }
    // Our tools never compress pictures, other tools might.
    LinkMemoryStream plain;
    if (!Link_ReadToStream(&plain, index, &archive)) return false;
    FILE* memory = fmemopen(plain.bytes.data(), plain.bytes.size(), "rb");
    if (!memory) return false;
    bool loaded = graphic.LoadPngFromFile(memory, plain.bytes.size());
    std::fclose(memory);
    return loaded;
}

bool TVeltoAccessControl::LoadPngFromDisk(std::string_view name, graphics::TLasGraphic& graphic) {
    std::optional<std::string> path = FindGameFile(name);
    return path && graphic.LoadPngFile(*path);
}

bool TVeltoAccessControl::LoadBitmapFromArchive(std::string_view name, DecodedPicture& bitmap,
                                                LinkReader& archive) {
    LinkMemoryStream stream;
    if (!Link_ReadByName(&stream, std::string(name).c_str(), &archive)) return false;
    if (platform::HasExtension(name, ".bmp")) return DecodeBmpBytes(stream.bytes, bitmap);
    if (platform::HasExtension(name, ".mag") && DecodeMagBytes(stream.bytes, bitmap)) return true;
    SetSusieActive(true);
    return susie_.LoadFromStream(stream, stream.bytes.size(), bitmap) == -1;
}

bool TVeltoAccessControl::LoadBitmapFromFile(std::string_view name, DecodedPicture& bitmap) {
    std::optional<std::string> path = FindGameFile(name);
    if (!path) return false;
    return DecodePictureFile(*path, bitmap, [this]() -> TSusiePlugIn& {
        SetSusieActive(true);
        return susie_;
    });
}

void TVeltoAccessControl::SetSusieActive(bool on) {
    if (on == susieLoaded_) return;
    if (on) {
        OpenPlugIns();
    } else {
        susie_.ClosePlugIn();
    }
    susieLoaded_ = on;
}

}  // namespace storage
