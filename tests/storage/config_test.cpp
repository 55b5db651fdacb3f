#include "storage/Cfg_load.h"

#include <gtest/gtest.h>

#include "common/test_files.h"

namespace fs = std::filesystem;
using storage::TConfigLoader;

namespace {

class ConfigStore : public testkit::TempDirTest {
protected:
    std::string Cfg() const { return Path("game.cfg"); }
};

}  // namespace

// A fresh file, and one left alone when nothing changed: see the package access tests.
TEST_F(ConfigStore, ReadsTypedValuesAndRewritesALineWhoseNameIsSpelledOtherwise) {
    Write("game.cfg",
          "system.usemusic=0\nSystem.UseSound=\r\nSystem.DefaultFont=a=b\rMainForm.Top=2x\n"
          "Flag=2\nSystem.UseMusic=1\n");
    {
        TConfigLoader config(Cfg());
        EXPECT_FALSE(config.GetBool("System.UseMusic", true)) << "names ignore case; first wins";
        EXPECT_TRUE(config.GetBool("System.UseSound", true)) << "an empty value is the default";
        EXPECT_EQ(config.GetText("System.DefaultFont", ""), "a=b");
        EXPECT_EQ(config.GetInt("MainForm.Top", 7), 7);
        EXPECT_TRUE(config.GetBool("Flag", false));
        EXPECT_FALSE(config.Modified());
        config.SetBool("System.UseMusic", false);
        EXPECT_TRUE(config.Modified()) << "the same value, but the line's text differs";
    }
    EXPECT_EQ(Read("game.cfg"),
              "System.UseMusic=0\r\nSystem.UseSound=\r\nSystem.DefaultFont=a=b\r\n"
              "MainForm.Top=2x\r\nFlag=2\r\nSystem.UseMusic=1\r\n");
}

TEST_F(ConfigStore, AFailedSaveLeavesNothingBehind) {
    TConfigLoader config(Cfg());
    config.saveOnFree = false;
    config.SetText("A", "2");
    fs::create_directories(Path("game.cfg/occupied"));  // the name is taken by a folder
    EXPECT_FALSE(config.Save());
    EXPECT_TRUE(config.Modified());
    EXPECT_TRUE(fs::is_directory(Path("game.cfg/occupied")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

// A file this large is not ours: it is neither read nor overwritten.
TEST_F(ConfigStore, AnOversizedFileIsLeftAlone) {
    const std::string big = std::string(2 << 20, 'x');
    Write("game.cfg", big);
    {
        TConfigLoader config(Cfg());
        EXPECT_EQ(config.GetText("x", "none"), "none");
        config.SetText("A", "1");
    }
    EXPECT_EQ(Read("game.cfg"), big);
}
