#include "storage/Bmp_dec.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_files.h"
#include "common/test_pictures.h"

namespace fs = std::filesystem;

namespace {

const fs::path kData = ORV_TEST_DATA;

bool Decode(const std::string& bytes, size_t size, storage::DecodedPicture& picture) {
    return storage::DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), size, picture);
}

}  // namespace

// The references were decoded once with ImageMagick.
TEST(Bitmap, EveryGoodBmpSuiteFileDecodesLikeTheReference) {
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(kData / "bmpsuite")) {
        if (entry.path().extension() != ".bmp") continue;
        std::string bytes = testkit::ReadFile(entry.path());
        storage::DecodedPicture decoded;
        ASSERT_TRUE(Decode(bytes, bytes.size(), decoded)) << entry.path();
        graphics::TLasGraphic picture;
        picture.LoadFromGraphic(decoded.width, decoded.height, decoded.pixels.data());
        testkit::ExpectLooksLike(picture,
                                 kData / "bmpsuite-ref" / entry.path().stem().concat(".png"));
        ++checked;
    }
    EXPECT_EQ(checked, 27);
}

TEST(Bitmap, DamagedAndAbsurdFilesAreRefused) {
    std::string bytes = testkit::ReadFile(kData / "bmpsuite" / "pal8rle.bmp");
    storage::DecodedPicture picture;
    for (size_t cut : {size_t{0}, size_t{2}, size_t{20}, size_t{60}, bytes.size() - 2}) {
        EXPECT_FALSE(Decode(bytes, cut, picture)) << cut;
    }
    bytes.replace(18, 3, "\xA0\x86\x01");  // width 100000
    EXPECT_FALSE(Decode(bytes, bytes.size(), picture));
    EXPECT_TRUE(picture.pixels.empty());
}
