// Where screens get the pictures a scenario names: the package, the disk or
// the system library. Declared here and implemented by the package access
// object, so that graphics never includes storage.
#pragma once

#include <string_view>

namespace graphics {

class TLasGraphic;

class TPictureSource {
public:
    virtual ~TPictureSource() = default;
    // False when no picture of that name loads.
    virtual bool LoadImage(std::string_view name, TLasGraphic& graphic) = 0;
};

}  // namespace graphics
