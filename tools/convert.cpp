// vp3tool convert: any picture the player can show, written as a PNG.
#include "graphics/Png_write.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "storage/Image_load.h"
#include "vp3tool.h"

namespace vp3tool {

int Convert(const Arguments& args) {
    std::string input, output;
    // Where the player looks for them, unless --plugins names a folder.
    std::vector<std::string> pluginDirectories =
        platform::ProgramFileFolders(platform::ProgramFiles::Plugins);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--plugins") {
            if (++i == args.size()) return UsageError("--plugins needs a folder");
            std::string folder = args[i];
            if (!folder.empty() && folder.back() != '/') folder += '/';
            pluginDirectories = {folder};
        } else if (input.empty()) {
            input = args[i];
        } else if (output.empty()) {
            output = args[i];
        } else {
            return UsageError("convert takes one picture and one output file");
        }
    }
    if (output.empty()) return UsageError("convert needs IN and OUT.png");
    if (!platform::HasExtension(output, ".png")) return UsageError("OUT must end in .png");
    if (!platform::FileExists(input)) {
        ReportError(input, "no such file");
        return kExitBadInput;
    }
    storage::TSusiePlugIn plugins;
    for (const std::string& folder : pluginDirectories) plugins.OpenPlugIn(folder + "*.spi");
    graphics::TLasGraphic picture;
    if (!storage::LoadPictureFile(input, picture, plugins)) {
        ReportError(input, "not a picture the player can read");
        return kExitBadInput;
    }
    if (!graphics::SavePngFile(picture, output)) {
        ReportError(output, "cannot write");
        return kExitBadInput;
    }
    return kExitOk;
}

}  // namespace vp3tool
