#include "storage/Cfg_load.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/files.h"

namespace fs = std::filesystem;
using storage::TConfigLoader;

namespace {

class ConfigStore : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("orv_cfg_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        path = (dir / "game.cfg").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::string Read() { return platform::ReadFile(path, 1 << 20).value_or("<missing>"); }

    fs::path dir;
    std::string path;
};

}  // namespace

TEST_F(ConfigStore, ReadsTypedValuesWithDefaults) {
    Write("system.usemusic=0\nSystem.UseSound=\r\nSystem.DefaultFont=a=b\rMainForm.Left=-20\n"
          "MainForm.Top=2x\nFlag=2\nSystem.UseMusic=1\n");
    TConfigLoader config(path);
    EXPECT_FALSE(config.GetBool("System.UseMusic", true)) << "names ignore case; first wins";
    EXPECT_TRUE(config.GetBool("System.UseSound", true)) << "an empty value is the default";
    EXPECT_EQ(config.GetText("System.DefaultFont", ""), "a=b");
    EXPECT_EQ(config.GetInt("MainForm.Left", 0), -20);
    EXPECT_EQ(config.GetInt("MainForm.Top", 7), 7);
    EXPECT_TRUE(config.GetBool("Flag", false));
    EXPECT_EQ(config.GetText("Missing", "dflt"), "dflt");
    EXPECT_FALSE(config.Modified());
}

TEST_F(ConfigStore, WritesBackOnlyWhatChangedWithCrLf) {
    {
        TConfigLoader config(path);  // no file yet
        config.SetBool("System.UseMusic", true);
        config.SetInt("MainForm.Left", 449);
        config.SetText("System.DefaultFont", "x");
    }
    EXPECT_EQ(Read(), "System.UseMusic=1\r\nMainForm.Left=449\r\nSystem.DefaultFont=x\r\n");

    Write("mainform.left=449\r\nOther=kept\r\n");
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    {
        TConfigLoader config(path);
        config.SetInt("MainForm.Left", 449);  // the same value under another spelling
        EXPECT_TRUE(config.Modified()) << "the line's text differs, so it is rewritten";
    }
    EXPECT_EQ(Read(), "MainForm.Left=449\r\nOther=kept\r\n");
    {
        TConfigLoader config(path);
        config.SetInt("MainForm.Left", 449);
        EXPECT_FALSE(config.Modified());
    }
}

TEST_F(ConfigStore, AFailedSaveLeavesNothingBehind) {
    TConfigLoader config(path);
    config.saveOnFree = false;
    config.SetText("A", "2");
    fs::create_directories(fs::path(path) / "occupied");  // the name is taken by a folder
    EXPECT_FALSE(config.Save());
    EXPECT_TRUE(config.Modified());
    EXPECT_TRUE(fs::is_directory(fs::path(path) / "occupied"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}
