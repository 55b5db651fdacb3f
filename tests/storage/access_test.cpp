#include "storage/Velto_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "common/test_files.h"
#include "common/test_package.h"
#include "common/test_platform.h"
#include "platform/headless.h"

namespace fs = std::filesystem;
using namespace storage;
using namespace testkit;
using platform::MessageAnswer;
using Boxes = std::vector<std::string>;

namespace {

const std::string kDamaged = "error ok " + Cp932("ファイルが破損しています\r\n");
const std::string kWrongId =
    "error ok " + Cp932(
                      "ファイルのヘッダIDが違います。\n"
                      "このファイルはOrvanta３で利用できるファイルではありません");
const std::string kAskFileType =
    "error abortignore " +
    Cp932("ファイルタイプが違います\nこのファイルは正常に読み込めないかもしれません");
const std::string kAskVersion =
    "error abortignore " +
    Cp932(
        "このファイルには現バージョンで対応していない\nコマンドが含まれている可能性があります\n"
        "最新版のOrvantaを入手することをおすすめします");
const std::string kStartBook = Cp932("スタートブック");
const std::string kOv3 = "FileType=OV3\r\n";
constexpr uint32_t kKind = 0x01000000;

// A scenario document whose header block "Velto" holds `settings` (CR LF lines).
std::string Scenario(const std::string& settings) {
    return "/// test game\r\n<Head=\"Velto\">\r\n" + settings + "<Head End>\r\n";
}

// The question before the data directory `folder` (UTF-8, ending in "/") is made.
std::string FolderQuestion(const std::string& folder) {
    return "warning yesno " + Cp932("実行に必要なファイルの展開や、セーブファイルの保存のため\r\n" +
                                    folder + " フォルダを作成します。\r\nよろしいですか？");
}

class PackageAccess : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        Restart();
    }
    void TearDown() override {
        platform_.reset();
        TempDirTest::TearDown();
    }

    // A terminate request sticks, so every case that may end the game gets a
    // fresh platform.
    void Restart() {
        platform_.reset();
        platform_ = std::make_unique<testkit::ScopedPlatform>();
    }
    platform::HeadlessDialogs& Dialogs() { return platform_->boxes; }

    std::string Package(const std::string& name, const std::string& settings,
                        std::vector<PackageEntry> entries = {}) {
        entries.insert(entries.begin(), {"velto.vf3", Scenario(settings)});
        return Write(name, PackageBytes(entries));
    }
    bool EndedWithError() const {
        const platform::EventManager& events = platform_->backend.Events();
        return events.Terminated() && events.ExitStatus() == 1;
    }

    std::unique_ptr<testkit::ScopedPlatform> platform_;
};

class ConfigStore : public testkit::TempDirTest {
protected:
    std::string Cfg() const { return Path("game.cfg"); }
};

}  // namespace

// A missing package is played in the headless tests.
TEST_F(PackageAccess, UnusableFilesEndTheGameAndDoubtfulOnesAskAbortOrIgnore) {
    const std::string other = Write("other.vp3", "PK\x03\x04 not a package");
    // A directory of 65535 entries in a file of 268 bytes.
    const std::string damaged =
        Write("damaged.vp3", "OV3PKG" + std::string(258, '\0') + "\xFF\xFF" + std::string(2, '\0'));
    const std::string noArchive = Write("plain.exe", "MZ without an archive");
    // Scenarios one byte past the size limit: a small stream that inflates to
    // it, and a stored entry (a sparse file); and one line past the line limit.
    constexpr size_t kTooLarge = (64u << 20) + 1;
    const std::string inflates =
        Write("inflates.vp3",
              PackageBytes({{"velto.vf3", CompressedRun('\n', kTooLarge), kLinkCompressed}}));
    std::string directory = PackageBytes({{"velto.vf3", ""}});
    directory.replace(directory.size() - 4, 4, Le32(kTooLarge));
    const std::string stored = Write("stored.vp3", directory);
    fs::resize_file(stored, directory.size() + kTooLarge);
    const std::string breaks =
        Write("breaks.vp3",
              PackageBytes({{"velto.vf3", CompressedRun('\n', scenario::TVeltoFile::kMaxLines + 1),
                             kLinkCompressed}}));
    struct Case {
        std::string path;
        bool abort;  // the answer to the first question; Ignore otherwise
        Boxes boxes;
        bool opens;
    };
    const Case cases[] = {
        {other, false, {kWrongId}, false},
        {Write("short.vp3", "OV3"), false, {kWrongId}, false},
        {damaged, false, {kDamaged + damaged}, false},
        {noArchive, false, {kDamaged + noArchive}, false},
        {inflates, false, {kDamaged + inflates}, false},
        {stored, false, {kDamaged + stored}, false},
        {breaks, false, {kDamaged + breaks}, false},
        {Package("v16.vp3", kOv3 + "CommandVersion=16\r\n"), false, {}, true},
        {Package("none.vp3", "CommandVersion=17\r\n"), false, {kAskFileType, kAskVersion}, true},
        {Package("lower.vp3", "FileType=ov3\r\n"), true, {kAskFileType}, false},
        {Package("v17.vp3", kOv3 + "CommandVersion=17\r\n"), true, {kAskVersion}, false},
        // A package without its scenario has no file type either.
        {Write("empty.vp3", PackageBytes({{"other.txt", "x"}})), false, {kAskFileType}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Restart();
        if (c.abort) Dialogs().QueueAnswer(MessageAnswer::Abort);
        TVeltoAccessControl access;
        EXPECT_EQ(access.Open(c.path), c.opens);
        EXPECT_EQ(Shown(Dialogs()), c.boxes);
        EXPECT_EQ(EndedWithError(), !c.opens);
        // Abort stops the open before the start page is chosen.
        EXPECT_EQ(access.Commands().BookName(), c.opens ? kStartBook : "");
    }
}

TEST_F(PackageAccess, UserSettingsComeFromTheCfgBesideThePackageAndGoBackOnClose) {
    const std::string package = Package("game.v2.vp3", kOv3);
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(package));
        access.useSound = false;
        access.windowLeft = 120;
        access.windowTop = -8;
        access.Close();
    }
    // The other settings go back with their defaults.
    EXPECT_EQ(Read("game.v2.cfg"),
              "System.UseMusic=1\r\nSystem.UseSound=0\r\nSystem.DisplayChange=0\r\n"
              "MainForm.Left=120\r\nMainForm.Top=-8\r\n" +
                  Cp932("System.DefaultFont=ＭＳ ゴシック\r\n"));
    struct stat written, after;
    ASSERT_EQ(::stat(Path("game.v2.cfg").c_str(), &written), 0);
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(package));
        EXPECT_FALSE(access.useSound);
        EXPECT_EQ(access.windowTop, -8);
        access.Close();
        access.Close();
    }
    // Saving replaces the file, so an unchanged inode means it was not written.
    ASSERT_EQ(::stat(Path("game.v2.cfg").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, written.st_ino);
}

TEST_F(PackageAccess, DataDirectoryIsBelowThePackageUnlessAutoExtractNamesItsOwn) {
    const std::pair<std::string, std::string> cases[] = {
        {Package("a.vp3", kOv3 + "DataDirectory=save\\slot\r\n"), base + "save/slot/"},
        {Package("b.vp3", kOv3 + "DataDirectory=..\\up\r\n"), ""},
        // A plain scenario file has nothing to extract and asks nothing.
        {Write("text.vp3", Scenario(kOv3 + "AutoExtract=1\r\n")), ""},
    };
    for (const auto& [path, data] : cases) {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(path));
        EXPECT_EQ(access.DataDirectory(), data) << path;
    }
    EXPECT_FALSE(fs::exists(Path("save")));
    EXPECT_TRUE(Shown(Dialogs()).empty());

    // AutoExtract's folder, named after the package, wins over DataDirectory.
    const std::string game = Package("ゲーム.vp3", kOv3 + "DataDirectory=save\r\nAutoExtract=1\r\n",
                                     {{"a.txt", "A", kKind, kLinkExtract}});
    {
        Dialogs().QueueAnswer(MessageAnswer::No);
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(game));
        EXPECT_EQ(access.DataDirectory(), Path("ゲーム/"));
        EXPECT_FALSE(fs::exists(Path("ゲーム")));
    }
    Write("ゲーム", "a file where the folder would go");
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(game));
        EXPECT_FALSE(platform_->backend.Events().Terminated());
    }
    const std::string question = FolderQuestion(base + "ゲーム/");
    EXPECT_EQ(Shown(Dialogs()),
              (Boxes{question, question, "error ok " + Cp932("フォルダの作成に失敗しました")}));
}

TEST_F(PackageAccess, ExtractionWritesMarkedEntriesIntoTheDataDirectoryOnly) {
    const std::string big = std::string(5000, 'z') + "end";
    // The longest names a package holds fit the file system beside their
    // temporary name; one in kana is too long once it is UTF-8.
    const std::string longName = std::string(250, 'n');
    std::string kana;
    for (int i = 0; i < 120; ++i) kana += "あ";
    std::vector<PackageEntry> entries = {
        {"readme.txt", "plain", kKind, kLinkExtract},
        {"sub\\file.txt", "nested", 0x08000000, kLinkExtract},
        {"Pack.bin", Compressed(big), kLinkCompressed | kKind, kLinkExtract},
        {Cp932("曲.txt"), "song", kKind, kLinkExtract},
        {longName, "long", kKind, kLinkExtract},
        {"nokind.txt", "k", 0, kLinkExtract},
        {"unmarked.txt", "u", kKind, 0},
        {"..\\evil1.txt", "e", kKind, kLinkExtract},
        {"sub\\..\\..\\evil2.txt", "e", kKind, kLinkExtract},
        {Cp932(base) + "evil3.txt", "e", kKind, kLinkExtract},
        {"C:\\evil4.txt", "e", kKind, kLinkExtract},
        // A lead byte before "/" is no character: the "/" still separates.
        {"\x81/..\\evil5.txt", "e", kKind, kLinkExtract},
        {"Damaged.bin", "not zlib", kLinkCompressed | kKind, kLinkExtract},
        {Cp932(kana), "kana", kKind, kLinkExtract},
    };
    for (int i = 6; i <= 10; ++i) {
        entries.push_back({"..\\evil" + std::to_string(i) + ".txt", "e", kKind, kLinkExtract});
    }
    const std::string game = Package("game.vp3", kOv3 + "AutoExtract=1\r\n", entries);
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(game));  // Yes to the question
    }
    // Every entry that was not written is named, ten at most.
    std::string notExtracted = "error ok " + Cp932("次のファイルを展開できませんでした");
    for (size_t i = 7; i < 17; ++i) {
        notExtracted += "\r\n" + Cp932(base + "game/") + entries[i].name;
    }
    notExtracted += Cp932("\r\nほか2件");
    EXPECT_EQ(Shown(Dialogs()), (Boxes{FolderQuestion(base + "game/"),
                                       "error ok zlib decompress fail", notExtracted}));
    EXPECT_EQ(FilesBelow(dir), (std::map<std::string, std::string>{{"game.vp3", Read("game.vp3")},
                                                                   {"game/readme.txt", "plain"},
                                                                   {"game/sub/file.txt", "nested"},
                                                                   {"game/Pack.bin", big},
                                                                   {"game/曲.txt", "song"},
                                                                   {"game/" + longName, "long"}}));

    // A later start keeps what is there; only a missing file comes back.
    Restart();
    Write("game/readme.txt", "edited");
    fs::remove(Path("game/sub/file.txt"));
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(game));
    }
    EXPECT_EQ(Shown(Dialogs()).size(), 2u) << "no question, the same reports";
    EXPECT_EQ(Read("game/readme.txt"), "edited");
    EXPECT_EQ(Read("game/sub/file.txt"), "nested");
}

TEST_F(PackageAccess, ExtractionNeitherFollowsLinksNorWritesBeyondItsLimit) {
    // Three records of one small stream that inflates to 600 KiB each.
    const std::string stream = Compressed(std::string(600 << 10, '\0'));
    std::string bytes = PackageBytes({{"velto.vf3", Scenario(kOv3 + "AutoExtract=1\r\n")},
                                      {"sub\\evil.txt", "e", kKind, kLinkExtract},
                                      {"a.bin", stream, kLinkCompressed | kKind, kLinkExtract},
                                      {"b.bin", "", kLinkCompressed | kKind, kLinkExtract},
                                      {"c.bin", "", kLinkCompressed | kKind, kLinkExtract},
                                      {"d.txt", "after", kKind, kLinkExtract}});
    const size_t aRecord = 268 + 2 * 272 + 264;
    for (size_t record : {aRecord + 272, aRecord + 2 * 272}) {
        bytes.replace(record, 8, bytes.substr(aRecord, 8));  // a's offset and size
    }
    const std::string game = Write("game.vp3", bytes);
    fs::create_directories(Path("outside"));
    fs::create_directories(Path("game"));
    fs::create_directory_symlink(Path("outside"), Path("game/sub"));

    TVeltoAccessControl access;
    access.extractionLimit = 1 << 20;
    ASSERT_TRUE(access.Open(game));
    EXPECT_TRUE(fs::is_empty(Path("outside")));
    // What went over the limit is not left behind, and extraction stops there.
    std::map<std::string, std::string> files = FilesBelow(dir);
    files.erase("game.vp3");
    EXPECT_EQ(files,
              (std::map<std::string, std::string>{{"game/a.bin", std::string(600 << 10, '\0')}}));
    EXPECT_EQ(
        Shown(Dialogs()),
        (Boxes{"error ok " + Cp932("展開するファイルが大きすぎるため、展開を中止しました\r\n" +
                                   base + "game/b.bin"),
               "error ok " +
                   Cp932("次のファイルを展開できませんでした\r\n" + base + "game/sub\\evil.txt")}));
}

// The start page, and a missing library, are played in the headless tests.
TEST_F(PackageAccess, TheSystemLibraryMustBeOneAndHoldTheSystemBook) {
    TVeltoAccessControl access;
    ASSERT_TRUE(access.Open(Package("game.vp3", kOv3)));
    const std::string system =
        "/// library\r\n<Book=\"_system\">\r\n<Page=\"_init\">\r\n@Return\r\n<Page End>\r\n"
        "<Book End>\r\n<Book=\"other\">\r\n<Page=\"p\">\r\n<Page End>\r\n<Book End>\r\n";
    EXPECT_FALSE(access.OpenLibrary(Write("pkg.vlb", PackageBytes({{"system.vf3", system}}))));
    EXPECT_FALSE(
        access.OpenLibrary(Write("none.vlb", PackageBytes({{"other.vf3", system}}, "OV3LIB"))));
    EXPECT_FALSE(access.Document().BookExists("_system"));
    EXPECT_TRUE(access.OpenLibrary(
        Write("veltort3.vlb", PackageBytes({{"System.VF3", system}}, "OV3LIB"))));
    int32_t start, end;
    EXPECT_TRUE(access.Document().FindPage("_system", "_init", start, end));
    EXPECT_FALSE(access.Document().BookExists("other"));
    EXPECT_TRUE(Shown(Dialogs()).empty()) << "the caller reports a missing library";
}

TEST_F(PackageAccess, ResolveFileLooksInTheDataDirectoryThenBesideThePackage) {
    for (const char* name :
         {"game/data/both.wav", "game/both.wav", "game/only.wav", "game/BGM/Title.MID",
          "game/data/se/Click.wav", "game/曲.wav", "secret.txt"}) {
        Write(name, name);
    }
    TVeltoAccessControl access;
    ASSERT_TRUE(access.Open(Write("game/game.vp3", Scenario(kOv3 + "DataDirectory=data\r\n"))));
    const std::pair<std::string, std::string> found[] = {
        {"both.wav", "game/data/both.wav"},       {"only.wav", "game/only.wav"},
        {"bgm\\title.mid", "game/BGM/Title.MID"}, {"SE\\CLICK.WAV", "game/data/se/Click.wav"},
        {Cp932("曲.wav"), "game/曲.wav"},
    };
    for (const auto& [name, path] : found) EXPECT_EQ(access.ResolveFile(name), Path(path));
    for (const char* name : {"none.wav", "BGM", "..\\secret.txt", ""}) {
        EXPECT_EQ(access.FindGameFile(name), std::nullopt) << name;
        EXPECT_EQ(access.ResolveFile(name), kNoEntry) << name;
    }
}

// Calls, returns and interrupting calls are played in the demo.
TEST_F(PackageAccess, RunawayRecursionEndsTheGameInsteadOfEatingTheMemory) {
    TVeltoAccessControl access;
    ASSERT_TRUE(access.Open(Write("game.vp3", Scenario(kOv3))));
    for (size_t i = 0; i < TVeltoAccessControl::kMaxCallDepth; ++i) access.Call("B", "P");
    EXPECT_TRUE(Shown(Dialogs()).empty());
    EXPECT_FALSE(platform_->backend.Events().Terminated());
    access.commandIndex = 4;
    access.Call("X", "Y");
    access.InterruptCall("X", "Y");
    EXPECT_EQ(access.Commands().BookName(), "B");
    EXPECT_EQ(access.commandIndex, 4);
    EXPECT_EQ(access.Stack().Depth(), TVeltoAccessControl::kMaxCallDepth);
    EXPECT_TRUE(access.Stack().Frame.empty());
    const std::string overflow =
        "error ok " + Cp932("スタックオーバーフローです。\nサブルーチンコールが深すぎます。");
    EXPECT_EQ(Shown(Dialogs()), (Boxes{overflow, overflow}));
    EXPECT_TRUE(EndedWithError());
}

// A fresh file, and one left alone when nothing changed: see the package access tests.
// A settings file keeps its permissions: it may hold what its user keeps private.
TEST_F(ConfigStore, ReadsTypedValuesAndRewritesALineWhoseNameIsSpelledOtherwise) {
    Write("game.cfg",
          "system.usemusic=0\nSystem.UseSound=\r\nSystem.DefaultFont=a=b\rMainForm.Top=2x\n"
          "Flag=2\nSystem.UseMusic=1\n");
    const fs::perms own = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(Cfg(), own);
    {
        storage::TConfigLoader config(Cfg());
        EXPECT_FALSE(config.GetBool("System.UseMusic", true)) << "names ignore case; first wins";
        EXPECT_TRUE(config.GetBool("System.UseSound", true)) << "an empty value is the default";
        EXPECT_EQ(config.GetText("System.DefaultFont", ""), "a=b");
        EXPECT_EQ(config.GetInt("MainForm.Top", 7), 7);
        EXPECT_TRUE(config.GetBool("Flag", false));
        config.SetBool("System.UseMusic", false);  // the same value, but not the same text
    }
    EXPECT_EQ(Read("game.cfg"),
              "System.UseMusic=0\r\nSystem.UseSound=\r\nSystem.DefaultFont=a=b\r\n"
              "MainForm.Top=2x\r\nFlag=2\r\nSystem.UseMusic=1\r\n");
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
            storage::TConfigLoader config(Path(name));
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
        storage::TConfigLoader config(Cfg());
        EXPECT_EQ(config.GetText("x", "none"), "none");
        config.SetText("A", "1");
    }
    EXPECT_EQ(Read("game.cfg"), big);
}
