// Pictures a scenario names, found in the package, on disk or in the library,
// in every format the player reads; the demo loads its TGA picture through
// the plug-in, the installed player from where it is installed.
#include <gtest/gtest.h>

#include "common/test_files.h"
#include "common/test_package.h"
#include "common/test_pictures.h"
#include "common/test_platform.h"
#include "storage/Bmp_dec.h"
#include "storage/Velto_access.h"

using testkit::PackageBytes;
using testkit::ReadFile;

namespace {

const std::string kData = ORV_TEST_DATA;
const std::string kScenario =
    "///\r\n<Head=\"Velto\">\r\nFileType=OV3\r\nDataDirectory=data\r\n<Head End>\r\n";

bool DecodeBmp(const std::string& bytes, size_t size, storage::DecodedPicture& picture) {
    return storage::DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), size, picture);
}

class Pictures : public testkit::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        access_ = std::make_unique<storage::TVeltoAccessControl>();
        access_->pluginDirectories = {Path("plugins/")};
    }
    void TearDown() override {
        access_.reset();
        TempDirTest::TearDown();
    }

    graphics::TLasGraphic Load(const std::string& name) {
        graphics::TLasGraphic picture;
        graphics::TPictureSource& source = *access_;  // as the screens see it
        loaded_ = source.LoadImage(name, picture);
        return picture;
    }

    testkit::ScopedPlatform platform_;
    std::unique_ptr<storage::TVeltoAccessControl> access_;
    bool loaded_ = false;
};

}  // namespace

TEST_F(Pictures, EveryFormatLoadsFromThePackageAndPngAlsoFromTheLibrary) {
    // A PNG entry one byte short fails, though the next entry holds that byte.
    std::string png = ReadFile(kData + "/pngsuite/basn2c08.png");
    Write("game.vp3",
          PackageBytes(
              {{"velto.vf3", kScenario},
               {"pic.png", png},
               {"cut.png", png.substr(0, png.size() - 1)},
               {"rest", png.substr(png.size() - 1)},
               {"bg\\pic.BMP", ReadFile(kData + "/bmpsuite/rgb24.bmp")},
               {"old.mag", ReadFile(kData + "/mag/pal4_16c_128x64.mag")},
               {"packed.png", testkit::Compressed(ReadFile(kData + "/pngsuite/basn0g01.png")),
                storage::kLinkCompressed}}));
    Write("veltort3.vlb", PackageBytes({{"system.vf3", "///\r\n"},
                                        {"lib.png", ReadFile(kData + "/pngsuite/basn0g08.png")},
                                        {"lib.bmp", ReadFile(kData + "/bmpsuite/pal8.bmp")}},
                                       "OV3LIB"));
    ASSERT_TRUE(access_->Open(Path("game.vp3")));
    ASSERT_TRUE(access_->OpenLibrary(Path("veltort3.vlb")));

    struct Case {
        const char* name;
        int32_t width;  // 0: does not load
    };
    for (const Case& c : {Case{"PIC.png", 32}, Case{"bg\\pic.bmp", 127}, Case{"old.MAG", 128},
                          Case{"packed.png", 32}, Case{"lib.PNG", 32}, Case{"cut.png", 0},
                          Case{"lib.bmp", 0}, Case{"missing.png", 0}, Case{"missing.bmp", 0}}) {
        graphics::TLasGraphic picture = Load(c.name);
        EXPECT_EQ(loaded_ ? picture.Width() : 0, c.width) << c.name;
    }
    EXPECT_TRUE(platform_.boxes.Records().empty());
}

// The references were decoded once with ImageMagick.
TEST(Bitmap, EveryGoodBmpSuiteFileDecodesLikeTheReference) {
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kData + "/bmpsuite")) {
        if (entry.path().extension() != ".bmp") continue;
        std::string bytes = ReadFile(entry.path());
        storage::DecodedPicture decoded;
        ASSERT_TRUE(DecodeBmp(bytes, bytes.size(), decoded)) << entry.path();
        graphics::TLasGraphic picture;
        picture.LoadFromGraphic(decoded.width, decoded.height, decoded.pixels.data());
        testkit::ExpectLooksLike(picture,
                                 kData + "/bmpsuite-ref/" + entry.path().stem().string() + ".png");
        ++checked;
    }
    EXPECT_EQ(checked, 27);
}

TEST(Bitmap, DamagedAndAbsurdFilesAreRefused) {
    std::string bytes = ReadFile(kData + "/bmpsuite/pal8rle.bmp");
    storage::DecodedPicture picture;
    for (size_t cut : {size_t{0}, size_t{2}, size_t{20}, size_t{60}, bytes.size() - 2}) {
        EXPECT_FALSE(DecodeBmp(bytes, cut, picture)) << cut;
    }
    bytes.replace(18, 3, "\xA0\x86\x01");  // width 100000
    EXPECT_FALSE(DecodeBmp(bytes, bytes.size(), picture));
    EXPECT_TRUE(picture.pixels.empty());
}
