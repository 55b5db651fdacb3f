#include "storage/Velto_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "platform/dialogs.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/headless.h"

namespace fs = std::filesystem;
using namespace storage;
using platform::MessageAnswer;
using scenario::StringList;

namespace {

// clang-format off
// "が見つかりません"
const std::string kNotFound = "\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "ファイルのヘッダIDが違います。\nこのファイルはOrvanta３で利用できるファイルではありません"
const std::string kWrongId =
    "\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x83w\x83" "b\x83_ID\x82\xAA\x88\xE1\x82\xA2\x82\xDC\x82\xB7\x81"
    "B\n\x82\xB1\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xCDOrvanta\x82R\x82\xC5\x97\x98\x97p\x82\xC5\x82"
    "\xAB\x82\xE9\x83t\x83@\x83" "C\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "ファイルが破損しています\r\n"
const std::string kDamaged =
    "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x94j\x91\xB9\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7\r\n";
// "ファイルタイプが違います\nこのファイルは正常に読み込めないかもしれません"
const std::string kWrongFileType =
    "\x83t\x83@\x83" "C\x83\x8B\x83^\x83" "C\x83v\x82\xAA\x88\xE1\x82\xA2\x82\xDC\x82\xB7\n\x82\xB1\x82"
    "\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xCD\x90\xB3\x8F\xED\x82\xC9\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82"
    "\xC8\x82\xA2\x82\xA9\x82\xE0\x82\xB5\x82\xEA\x82\xDC\x82\xB9\x82\xF1";
// "このファイルには現バージョンで対応していない\nコマンドが含まれている可能性があります\n
//  最新版のOrvantaを入手することをおすすめします"
const std::string kNewerCommands =
    "\x82\xB1\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xC9\x82\xCD\x8C\xBB\x83o\x81[\x83W\x83\x87\x83\x93"
    "\x82\xC5\x91\xCE\x89\x9E\x82\xB5\x82\xC4\x82\xA2\x82\xC8\x82\xA2\n\x83R\x83}\x83\x93\x83h\x82\xAA"
    "\x8A\xDC\x82\xDC\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x89\xC2\x94\\\x90\xAB\x82\xAA\x82\xA0\x82\xE8\x82"
    "\xDC\x82\xB7\n\x8D\xC5\x90V\x94\xC5\x82\xCCOrvanta\x82\xF0\x93\xFC\x8E\xE8\x82\xB7\x82\xE9\x82\xB1"
    "\x82\xC6\x82\xF0\x82\xA8\x82\xB7\x82\xB7\x82\xDF\x82\xB5\x82\xDC\x82\xB7";
// "実行に必要なファイルの展開や、セーブファイルの保存のため\r\n"
const std::string kCreateFolderBefore =
    "\x8E\xC0\x8Ds\x82\xC9\x95K\x97v\x82\xC8\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x93W\x8AJ\x82\xE2\x81"
    "A\x83Z\x81[\x83u\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x95\xDB\x91\xB6\x82\xCC\x82\xBD\x82\xDF\r\n";
// " フォルダを作成します。\r\nよろしいですか？"
const std::string kCreateFolderAfter =
    " \x83t\x83H\x83\x8B\x83_\x82\xF0\x8D\xEC\x90\xAC\x82\xB5\x82\xDC\x82\xB7\x81" "B\r\n\x82\xE6\x82"
    "\xEB\x82\xB5\x82\xA2\x82\xC5\x82\xB7\x82\xA9\x81H";
// "フォルダの作成に失敗しました"
const std::string kCreateFolderFailed =
    "\x83t\x83H\x83\x8B\x83_\x82\xCC\x8D\xEC\x90\xAC\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
const std::string kStartBook = "\x83X\x83^\x81[\x83g\x83u\x83" "b\x83N";  // "スタートブック"
const std::string kStartPage = "\x83X\x83^\x81[\x83g\x83y\x81[\x83W";      // "スタートページ"
const std::string kDefaultFont = "\x82l\x82r \x83S\x83V\x83" "b\x83N";     // "ＭＳ ゴシック"
const std::string kGame = "\x83Q\x81[\x83\x80";   // "ゲーム"
const std::string kChapter = "\x91\xE6\x88\xEA\x8F\xCD";  // "第一章"
const std::string kCover = "\x95\\\x8E\x86";              // "表紙", trail byte 0x5C
const std::string kSong = "\x8B\xC8";                     // "曲"
// clang-format on

const std::string kOv3 = "FileType=OV3\r\n";
constexpr uint32_t kKind = 0x01000000;

// A scenario document whose header block "Velto" holds `settings` (CR LF lines).
std::string Scenario(const std::string& settings) {
    return "/// test game\r\n<Head=\"Velto\">\r\n" + settings + "<Head End>\r\n";
}

std::string Zlib(const std::string& plain) {
    uLongf size = compressBound(plain.size());
    std::string stream(size, '\0');
    compress(reinterpret_cast<Bytef*>(stream.data()), &size,
             reinterpret_cast<const Bytef*>(plain.data()), plain.size());
    stream.resize(size);
    return stream;
}

struct Entry {
    std::string name;    // CP932
    std::string stored;  // as it lies in the archive
    uint32_t attributes = 0;
    uint32_t options = 0;
};

class PackageAccess : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("orv_acc_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        base = dir.string() + "/";
        Restart();
    }
    void TearDown() override {
        platform::SetApp(nullptr);
        fs::remove_all(dir);
    }

    // A terminate request sticks, so every case that may end the game gets a
    // fresh application.
    void Restart() {
        app = std::make_unique<platform::HeadlessApplication>();
        platform::SetApp(app.get());
        boxes.Clear();
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(base + name, std::ios::binary) << bytes;
        return base + name;
    }
    std::string Read(const std::string& name) {
        return platform::ReadFile(base + name, 1 << 20).value_or("<missing>");
    }

    // An archive made by the writer, optionally behind an executable stub.
    std::string Archive(const std::string& name, const char* id, const std::vector<Entry>& entries,
                        const std::string& stub = "") {
        LinkWriter writer;
        LinkW_Init(&writer);
        Link_SetId(writer.header.id, id);
        EXPECT_TRUE(LinkW_CreateWith(&writer, (base + name).c_str(), (base + "h.tmp").c_str(),
                                     (base + "d.tmp").c_str()));
        if (!stub.empty()) {
            EXPECT_TRUE(LinkW_WriteStub(&writer, Write("stub", stub).c_str()));
            fs::remove(base + "stub");
        }
        for (const Entry& entry : entries) {
            EXPECT_TRUE(LinkW_BeginEntry(&writer, entry.name.c_str()));
            writer.entry.attributes = entry.attributes;
            writer.entry.options = entry.options;
            LinkW_Write(&writer, entry.stored.data(), 1, entry.stored.size());
            EXPECT_TRUE(LinkW_EndEntry(&writer));
        }
        EXPECT_TRUE(LinkW_Finish(&writer));
        return base + name;
    }
    std::string Package(const std::string& name, const std::string& settings,
                        std::vector<Entry> entries = {}) {
        entries.insert(entries.begin(), {"velto.vf3", Scenario(settings)});
        return Archive(name, "OV3PKG", entries);
    }

    // Each box shown as "KIND BUTTONS TEXT".
    std::vector<std::string> Boxes() const {
        std::vector<std::string> shown;
        for (const auto& record : boxes.Records()) {
            shown.push_back(std::string(platform::KindName(record.kind)) + " " +
                            std::string(platform::ButtonsName(record.buttons)) + " " + record.text);
        }
        return shown;
    }
    bool EndedWithError() const { return app->Terminated() && app->ExitStatus() == 1; }

    // Everything below the test's folder, folders ending in "/".
    std::set<std::string> Listing() const {
        std::set<std::string> found;
        for (const auto& item : fs::recursive_directory_iterator(dir)) {
            found.insert(fs::relative(item.path(), dir).string() +
                         (item.is_directory() ? "/" : ""));
        }
        return found;
    }

    fs::path dir;
    std::string base;  // the folder as a UTF-8 path ending in "/"
    platform::ScopedMessageRecorder boxes;
    std::unique_ptr<platform::HeadlessApplication> app;
};

}  // namespace

TEST_F(PackageAccess, OpenTellsTheFormsApartAndEndsTheGameOnAnUnusableFile) {
    const std::string diskName = platform::Cp932ToUtf8(kGame) + ".vp3";
    const std::string plain = Package(diskName, kOv3 + "Title=plain\r\n");
    const std::string appended =
        Archive("game.exe", "OV3PKG",
                {{"velto.vf3", Zlib(Scenario(kOv3 + "Title=exe\r\n")), kLinkCompressed}},
                std::string("MZ\x90\0 stub -----+", 16));
    const std::string text = Write("text.vp3", Scenario(kOv3 + "Title=text\r\n"));
    for (auto [path, title, isArchive] :
         {std::tuple{plain, "plain", true}, std::tuple{appended, "exe", true},
          std::tuple{text, "text", false}}) {
        SCOPED_TRACE(title);
        Restart();
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(path));
        EXPECT_TRUE(Boxes().empty());
        EXPECT_FALSE(app->Terminated());
        EXPECT_EQ(access.Package().file != nullptr, isArchive);
        EXPECT_EQ(access.Document().GetValue("Velto", "Title", ""), title);
        EXPECT_EQ(access.PackageDirectory(), base);
        EXPECT_EQ(access.Variables().ScriptFile(),
                  platform::Utf8ToCp932(fs::path(path).filename().string()));
    }

    const std::string missing = base + "missing.vp3";
    const std::string other = Write("other.vp3", "PK\x03\x04 not a package");
    // A directory of 65535 entries in a file of 268 bytes.
    const std::string damaged =
        Write("damaged.vp3", "OV3PKG" + std::string(258, '\0') + "\xFF\xFF" + std::string(2, '\0'));
    const std::string noArchive = Write("plain.exe", "MZ without an archive");
    for (auto [path, box] :
         {std::pair{missing, missing + kNotFound}, std::pair{other, kWrongId},
          std::pair{damaged, kDamaged + damaged}, std::pair{noArchive, kDamaged + noArchive}}) {
        SCOPED_TRACE(path);
        Restart();
        TVeltoAccessControl access;
        EXPECT_FALSE(access.Open(path));
        EXPECT_EQ(Boxes(), std::vector<std::string>{"error ok " + box});
        EXPECT_TRUE(EndedWithError());
    }
}

TEST_F(PackageAccess, WrongFileTypeOrNewerCommandsAskAbortOrIgnore) {
    const std::string noScenario = Archive("empty.vp3", "OV3PKG", {{"other.txt", "x"}});
    struct Case {
        std::string settings;
        std::vector<MessageAnswer> answers;
        std::vector<std::string> boxes;
        bool opens;
    };
    const std::string askType = "error abortignore " + kWrongFileType;
    const std::string askVersion = "error abortignore " + kNewerCommands;
    const Case cases[] = {
        {kOv3 + "CommandVersion=16\r\n", {}, {}, true},
        {"", {MessageAnswer::Ignore}, {askType}, true},
        {"FileType=ov3\r\n", {MessageAnswer::Abort}, {askType}, false},
        {kOv3 + "CommandVersion=17\r\n", {MessageAnswer::Ignore}, {askVersion}, true},
        {kOv3 + "CommandVersion=17\r\n", {MessageAnswer::Abort}, {askVersion}, false},
        {"CommandVersion=17\r\n",
         {MessageAnswer::Ignore, MessageAnswer::Ignore},
         {askType, askVersion},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        Restart();
        for (MessageAnswer answer : c.answers) boxes.QueueAnswer(answer);
        TVeltoAccessControl access;
        EXPECT_EQ(access.Open(Package("game.vp3", c.settings)), c.opens);
        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_EQ(app->Terminated(), !c.opens);
        // Abort stops the open before the start page is chosen.
        EXPECT_EQ(access.Commands().BookName(), c.opens ? kStartBook : "");
    }
    // A package without its scenario has no file type either.
    Restart();
    TVeltoAccessControl access;
    EXPECT_TRUE(access.Open(noScenario));
    EXPECT_EQ(Boxes(), std::vector<std::string>{askType});
}

TEST_F(PackageAccess, UserSettingsComeFromTheCfgBesideThePackageAndGoBackOnClose) {
    const std::string package = Package("game.v2.vp3", kOv3);
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(package));
        EXPECT_TRUE(access.useMusic);
        EXPECT_TRUE(access.useSound);
        EXPECT_FALSE(access.displayChange);
        EXPECT_EQ(access.windowLeft, 0);
        EXPECT_EQ(access.windowTop, 0);
        EXPECT_EQ(access.defaultFont, kDefaultFont);
        access.useSound = false;
        access.windowLeft = 120;
        access.windowTop = -8;
        access.Close();
    }
    EXPECT_EQ(Read("game.v2.cfg"),
              "System.UseMusic=1\r\nSystem.UseSound=0\r\nSystem.DisplayChange=0\r\n"
              "MainForm.Left=120\r\nMainForm.Top=-8\r\nSystem.DefaultFont=" +
                  kDefaultFont + "\r\n");
    struct stat written;
    ASSERT_EQ(::stat((base + "game.v2.cfg").c_str(), &written), 0);
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(package));
        EXPECT_FALSE(access.useSound);
        EXPECT_EQ(access.windowLeft, 120);
        EXPECT_EQ(access.windowTop, -8);
        access.Close();
        access.Close();
    }
    // Saving replaces the file, so an unchanged inode means it was not written.
    struct stat after;
    ASSERT_EQ(::stat((base + "game.v2.cfg").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, written.st_ino);
}

TEST_F(PackageAccess, DataDirectoryIsBelowThePackageUnlessAutoExtractNamesItsOwn) {
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(Package("game.vp3", kOv3 + "DataDirectory=save\\slot\r\n")));
        EXPECT_EQ(access.DataDirectory(), base + "save/slot/");
        EXPECT_FALSE(fs::exists(dir / "save"));
    }
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(Package("game.vp3", kOv3 + "DataDirectory=..\\up\r\n")));
        EXPECT_EQ(access.DataDirectory(), "");
    }
    {
        // A plain scenario file has nothing to extract and asks nothing.
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(Write("text.vp3", Scenario(kOv3 + "AutoExtract=1\r\n"))));
        EXPECT_EQ(access.DataDirectory(), "");
    }
    EXPECT_TRUE(Boxes().empty());

    // AutoExtract's folder, named after the package, wins over DataDirectory.
    const std::string settings = kOv3 + "DataDirectory=save\r\nAutoExtract=1\r\n";
    const std::vector<Entry> entries = {{"a.txt", "A", kKind, kLinkExtract}};
    const std::string game = Package(platform::Cp932ToUtf8(kGame) + ".vp3", settings, entries);
    const std::string folder = base + platform::Cp932ToUtf8(kGame) + "/";
    const std::string question = "warning yesno " + kCreateFolderBefore +
                                 platform::Utf8ToCp932(base) + kGame + "/" + kCreateFolderAfter;
    {
        boxes.QueueAnswer(MessageAnswer::No);
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(game));
        EXPECT_EQ(access.DataDirectory(), folder);
        EXPECT_EQ(Boxes(), std::vector<std::string>{question});
        EXPECT_FALSE(fs::exists(folder));
    }
    {
        boxes.Clear();
        Write(platform::Cp932ToUtf8(kGame), "a file where the folder would go");
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(game));
        EXPECT_EQ(Boxes(), (std::vector<std::string>{question, "error ok " + kCreateFolderFailed}));
        EXPECT_FALSE(app->Terminated());
    }
}

TEST_F(PackageAccess, ExtractionWritesMarkedEntriesIntoTheDataDirectoryOnly) {
    const std::string big = std::string(5000, 'z') + "end";
    const std::vector<Entry> entries = {
        {"readme.txt", "plain", kKind, kLinkExtract},
        {"sub\\file.txt", "nested", 0x08000000, kLinkExtract},
        {"Pack.bin", Zlib(big), kLinkCompressed | kKind, kLinkExtract},
        {kSong + ".txt", "song", kKind, kLinkExtract},
        {"nokind.txt", "k", 0, kLinkExtract},
        {"unmarked.txt", "u", kKind, 0},
        {"..\\evil1.txt", "e", kKind, kLinkExtract},
        {"sub\\..\\..\\evil2.txt", "e", kKind, kLinkExtract},
        {platform::Utf8ToCp932(base) + "evil3.txt", "e", kKind, kLinkExtract},
        {"C:\\evil4.txt", "e", kKind, kLinkExtract},
        // A lead byte before "/" is no character: the "/" still separates.
        {"\x81/..\\evil5.txt", "e", kKind, kLinkExtract},
    };
    const std::string game = Package("game.vp3", kOv3 + "AutoExtract=1\r\n", entries);
    const std::string song = "game/" + platform::Cp932ToUtf8(kSong) + ".txt";
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(game));  // Yes to the question
    }
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].substr(0, 14), "warning yesno ");
    EXPECT_EQ(Listing(), (std::set<std::string>{"game.vp3", "game/", "game/readme.txt", "game/sub/",
                                                "game/sub/file.txt", "game/Pack.bin", song}));
    EXPECT_EQ(Read("game/readme.txt"), "plain");
    EXPECT_EQ(Read("game/sub/file.txt"), "nested");
    EXPECT_EQ(Read("game/Pack.bin"), big);
    EXPECT_EQ(Read(song), "song");

    // A later start asks nothing and keeps what is there; only a missing file comes back.
    Restart();
    Write("game/readme.txt", "edited");
    fs::remove(dir / "game" / "sub" / "file.txt");
    {
        TVeltoAccessControl access;
        ASSERT_TRUE(access.Open(game));
    }
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Read("game/readme.txt"), "edited");
    EXPECT_EQ(Read("game/sub/file.txt"), "nested");
}

TEST_F(PackageAccess, StartPositionAndTheSystemLibrary) {
    {
        TVeltoAccessControl access;
        access.commandIndex = 5;
        ASSERT_TRUE(access.Open(Package("game.vp3", kOv3)));
        EXPECT_EQ(access.Commands().BookName(), kStartBook);
        EXPECT_EQ(access.Commands().PageName(), kStartPage);
        EXPECT_EQ(access.commandIndex, 0);
        EXPECT_EQ(access.Process().PlayerMode, scenario::kModeReady);
    }
    TVeltoAccessControl access;
    ASSERT_TRUE(access.Open(
        Package("game.vp3", kOv3 + "StartBook=" + kChapter + "\r\nStartPage=" + kCover + "\r\n")));
    EXPECT_EQ(access.Commands().BookName(), kChapter);
    EXPECT_EQ(access.Commands().PageName(), kCover);

    const std::string system =
        "/// library\r\n<Book=\"_system\">\r\n<Page=\"_init\">\r\n@Return\r\n<Page End>\r\n"
        "<Book End>\r\n<Book=\"other\">\r\n<Page=\"p\">\r\n<Page End>\r\n<Book End>\r\n";
    EXPECT_FALSE(access.OpenLibrary(base + "missing.vlb"));
    EXPECT_FALSE(access.OpenLibrary(Archive("pkg.vlb", "OV3PKG", {{"system.vf3", system}})));
    EXPECT_FALSE(access.OpenLibrary(Archive("none.vlb", "OV3LIB", {{"other.vf3", system}})));
    EXPECT_FALSE(access.Document().BookExists("_system"));
    EXPECT_TRUE(access.OpenLibrary(Archive("veltort3.vlb", "OV3LIB", {{"System.VF3", system}})));
    int32_t start, end;
    EXPECT_TRUE(access.Document().FindPage("_system", "_init", start, end));
    EXPECT_FALSE(access.Document().BookExists("other"));
    EXPECT_TRUE(Boxes().empty()) << "the caller reports a missing library";
}

TEST_F(PackageAccess, ResolveFileLooksInTheDataDirectoryThenBesideThePackage) {
    fs::create_directories(dir / "game" / "data" / "se");
    fs::create_directories(dir / "game" / "BGM");
    for (const char* name : {"game/data/both.wav", "game/both.wav", "game/only.wav",
                             "game/BGM/Title.MID", "game/data/se/Click.wav", "secret.txt"}) {
        Write(name, name);
    }
    Write("game/" + platform::Cp932ToUtf8(kSong) + ".wav", "song");
    TVeltoAccessControl access;
    ASSERT_TRUE(access.Open(Write("game/game.vp3", Scenario(kOv3 + "DataDirectory=data\r\n"))));
    const std::string game = base + "game/";
    EXPECT_EQ(access.ResolveFile("both.wav"), game + "data/both.wav");
    EXPECT_EQ(access.ResolveFile("only.wav"), game + "only.wav");
    EXPECT_EQ(access.ResolveFile("bgm\\title.mid"), game + "BGM/Title.MID");
    EXPECT_EQ(access.ResolveFile("SE\\CLICK.WAV"), game + "data/se/Click.wav");
    EXPECT_EQ(access.ResolveFile(kSong + ".wav"), game + platform::Cp932ToUtf8(kSong) + ".wav");
    for (const char* name : {"none.wav", "BGM", "..\\secret.txt", ""}) {
        EXPECT_EQ(access.ResolveFile(name), kNoEntry) << name;
    }
}

TEST_F(PackageAccess, JumpCallAndReturnMoveThePlayPosition) {
    TVeltoAccessControl access;
    ASSERT_TRUE(access.Open(Write("game.vp3", Scenario(kOv3))));
    auto& process = access.Process();
    auto expectAt = [&](const char* book, const char* page, int32_t index) {
        EXPECT_EQ(access.Commands().BookName(), book);
        EXPECT_EQ(access.Commands().PageName(), page);
        EXPECT_EQ(access.commandIndex, index);
    };

    access.commandIndex = 9;
    access.Jump("B", "P");
    expectAt("B", "P", 0);
    access.commandIndex = 7;
    access.Call("C", "Q");
    expectAt("C", "Q", 0);
    EXPECT_EQ(access.Stack().StackLines(), (StringList{"Stack.CommandIndex=7", "Stack.PageName=P",
                                                       "Stack.BookName=B", "@StackBorder"}));

    // An interrupting call brings the wait it interrupted back on return.
    access.commandIndex = 3;
    process.StartWait();
    process.SetAnykeyClick();
    process.WaitTime = 250;
    access.InterruptCall("D", "R");
    expectAt("D", "R", 0);
    EXPECT_EQ(process.PlayerMode, scenario::kModeReady);
    ASSERT_TRUE(access.Return());
    expectAt("C", "Q", 3);
    EXPECT_EQ(process.PlayerMode, scenario::kModeWaiting);
    EXPECT_TRUE(process.AnykeyClick);
    EXPECT_EQ(process.WaitTime, 250);
    ASSERT_TRUE(access.Return());
    expectAt("B", "P", 7);
    EXPECT_EQ(process.PlayerMode, scenario::kModeReady);

    process.StartMessageWait();
    EXPECT_FALSE(access.Return());
    expectAt("B", "P", 7);
    EXPECT_EQ(process.PlayerMode, scenario::kModeMessageWait);
    EXPECT_TRUE(Boxes().empty());

    // Runaway recursion ends the game instead of eating the memory.
    for (size_t i = 0; i < TVeltoAccessControl::kMaxCallDepth; ++i) access.Call("B", "P");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(app->Terminated());
    access.commandIndex = 4;
    access.Call("X", "Y");
    access.InterruptCall("X", "Y");
    expectAt("B", "P", 4);
    EXPECT_EQ(access.Stack().Depth(), TVeltoAccessControl::kMaxCallDepth);
    EXPECT_TRUE(access.Stack().Frame.empty());
    ASSERT_EQ(boxes.Records().size(), 2u);
    EXPECT_EQ(boxes.Records()[0].kind, platform::MessageKind::Error);
    EXPECT_TRUE(EndedWithError());
}
