#include "storage/Cfg_load.h"

#include <gtest/gtest.h>

#include "common/test_files.h"
#include "common/test_platform.h"

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

// A settings file keeps its permissions: it may hold what its user keeps private.
TEST_F(ConfigStore, SavingKeepsTheFilesPermissions) {
    Write("game.cfg", "A=1\r\n");
    const fs::perms own = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(Cfg(), own);
    {
        TConfigLoader config(Cfg());
        config.SetText("A", "2");
    }
    EXPECT_EQ(Read("game.cfg"), "A=2\r\n");
    EXPECT_EQ(fs::status(Cfg()).permissions() & fs::perms::all, own);
}

// A link is neither replaced by a copy of what it leads to (a secret beside
// the game for everyone to read) nor written through.
TEST_F(ConfigStore, AFailedSaveIsReportedAndLeavesEverythingAsItWas) {
    const std::string secret = Write("secret", "Key=private\r\n");
    fs::create_directories(Path("occupied.cfg/folder"));
    fs::create_symlink(secret, Path("link.cfg"));
    for (const char* name : {"occupied.cfg", "link.cfg"}) {
        SCOPED_TRACE(name);
        testkit::ScopedPlatform platform;
        {
            TConfigLoader config(Path(name));
            config.SetText("A", "2");
        }
        EXPECT_EQ(testkit::Shown(platform.boxes),
                  std::vector<std::string>{
                      "error ok " + testkit::Cp932("設定ファイルを保存できませんでした\r\n") +
                      Path(name)});
    }
    EXPECT_EQ(Read("secret"), "Key=private\r\n");
    EXPECT_TRUE(fs::is_symlink(Path("link.cfg")));
    EXPECT_TRUE(fs::is_directory(Path("occupied.cfg/folder")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3)
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
