// Runs the built vp3tool as a subprocess on packages in a temporary directory.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "common/test_files.h"
#include "common/test_package.h"
#include "graphics/Las_grf.h"
#include "storage/Link_arc.h"
#include "tools/run_vp3tool.h"

namespace fs = std::filesystem;
using namespace testkit;

namespace {

// Entry name -> "SIZE<tab>compressed|stored<tab>extract|-" from `vp3tool list`,
// whose lines also hold the stored size after the name.
std::map<std::string, std::string> ListedEntries(const std::string& listing) {
    std::map<std::string, std::string> entries;
    for (const std::string& line : SplitLines(listing)) {
        if (line.rfind("ID: ", 0) == 0 || line.rfind("Description: ", 0) == 0) continue;
        const size_t storedSize = line.find('\t') + 1;
        entries[line.substr(0, storedSize - 1)] = line.substr(line.find('\t', storedSize) + 1);
    }
    return entries;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// Its CP932 form has "\" as the second byte of three characters.
const std::string kJapaneseName = "画像/ソース表.txt";

class Vp3tool : public Vp3toolTest {
protected:
    // A small game: nested folders, a Japanese name, an empty file, a PNG,
    // compressible text and incompressible noise.
    std::map<std::string, std::string> MakeGame() const {
        std::map<std::string, std::string> files{
            {"velto.vf3", "/// game\r\n<Book=\"b\">\r\n<Book End>\r\n"},
            {kJapaneseName, "\x82\xA0 text"},
            {"bgm/deep/theme.ogg", RandomBytes(70000, 1)},
            {"empty.dat", ""},
            {"pic.png", std::string("\x89PNG\r\n\x1A\n", 8) + std::string(3000, 'p')},
            {"text/long.txt", std::string(200000, 'x') + "end"},
        };
        for (const auto& [name, bytes] : files) Write("game/" + name, bytes);
        return files;
    }
};

TEST_F(Vp3tool, RoundTripsPlainCompressedAndAppendedPackagesByteForByte) {
    std::map<std::string, std::string> files = MakeGame();
    const std::string stub = "MZ stub " + std::string(150, '-') + "+ more";
    const std::vector<std::string> creates[] = {
        {"create", Path("s.vp3"), Path("game")},
        {"create", "--compress", Path("z.vp3"), Path("game")},
        {"create", Path("x.exe"), "--extract", "*.OGG", "--extract", "text/*", "--stub",
         Write("stub.exe", stub), "--id", "OV3PKG", Path("game")},
    };
    for (const std::vector<std::string>& create : creates) {
        const bool compress = create[1] == "--compress";
        const std::string package = create[compress ? 2 : 1];
        const bool appended = package.ends_with(".exe");
        SCOPED_TRACE(package);
        Result created = Run(create);
        ASSERT_EQ(created.status, 0) << created.err;
        EXPECT_EQ(created.err, "");

        Result listed = Run({"list", package});
        ASSERT_EQ(listed.status, 0) << listed.err;
        EXPECT_EQ(SplitLines(listed.out)[0], "ID: OV3PKG");
        // Pictures are never compressed; "extract" is listed for the entries the
        // player will extract, whose option and kind bit are both set.
        std::map<std::string, std::string> expected;
        for (const auto& [name, bytes] : files) {
            bool marked = appended && (name == "bgm/deep/theme.ogg" || name == "text/long.txt");
            expected[name] = std::to_string(bytes.size()) +
                             (compress && name != "pic.png" ? "\tcompressed" : "\tstored") +
                             (marked ? "\textract" : "\t-");
        }
        EXPECT_EQ(ListedEntries(listed.out), expected);

        ASSERT_EQ(Run({"extract", package, package + ".out"}).status, 0);
        EXPECT_EQ(FilesBelow(package + ".out"), files);
    }
    EXPECT_EQ(Read("x.exe").substr(0, stub.size()), stub);
    // The player looks entries up by their CP932 names with "\" between folders.
    storage::LinkReader reader;
    ASSERT_TRUE(storage::Link_Open(Path("s.vp3").c_str(), &reader));
    EXPECT_GE(storage::Link_FindIndex(&reader, Cp932("画像\\ソース表.txt").c_str()), 0);
    storage::Link_Close(&reader);

    // The same inputs make the same bytes, even named in another order.
    ASSERT_EQ(Run({"create", Path("a.vp3"), Path("game/text"), Path("game/pic.png")}).status, 0);
    ASSERT_EQ(Run({"create", Path("b.vp3"), Path("game/pic.png"), Path("game/text")}).status, 0);
    EXPECT_EQ(Read("a.vp3"), Read("b.vp3"));
    // One named entry only, "/" or "\" between folders.
    Result one = Run({"extract", Path("s.vp3"), Path("one"), "BGM\\deep/THEME.ogg"});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(FilesBelow(dir / "one").size(), 1u);
}

TEST_F(Vp3tool, VerifyFindsDamagedEntriesAndTruncatedFiles) {
    MakeGame();
    const std::string package = Path("game.vp3");
    ASSERT_EQ(Run({"create", "--compress", package, Path("game")}).status, 0);
    Result sound = Run({"verify", package});
    EXPECT_EQ(sound.status, 0) << sound.err;
    EXPECT_NE(sound.out.find("sound"), std::string::npos);

    // Spoil the end of one compressed stream (its checksum at least).
    storage::LinkReader reader;
    ASSERT_TRUE(storage::Link_Open(package.c_str(), &reader));
    const storage::LinkEntry* entry = storage::Link_FindEntry(&reader, "text\\long.txt");
    ASSERT_NE(entry, nullptr);
    uint64_t end = reader.dataBase + entry->offset + entry->size;
    storage::Link_Close(&reader);
    std::string bytes = Read("game.vp3");
    for (uint64_t i = end - 6; i < end; ++i) bytes[i] = static_cast<char>(~bytes[i]);
    Write("game.vp3", bytes);

    Result damaged = Run({"verify", package});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.err, "vp3tool: " + package + ": text/long.txt: zlib decompress fail\n");
    Result listed = Run({"list", package});
    EXPECT_EQ(listed.status, 1);
    EXPECT_EQ(ListedEntries(listed.out)["text/long.txt"], "?\tcompressed\t-");
    EXPECT_EQ(Run({"extract", package, Path("out")}).status, 1);
    EXPECT_FALSE(fs::exists(Path("out/text/long.txt")));
    EXPECT_TRUE(fs::exists(Path("out/pic.png")));

    bytes.resize(bytes.size() / 2);
    Write("game.vp3", bytes);
    for (const char* command : {"verify", "list"}) {
        Result truncated = Run({command, package});
        EXPECT_EQ(truncated.status, 1) << command;
        EXPECT_EQ(SplitLines(truncated.err).size(), 1u) << truncated.err;
        EXPECT_EQ(truncated.err.rfind("vp3tool: " + package + ": ", 0), 0u) << truncated.err;
    }
}

TEST_F(Vp3tool, ExtractNeverWritesOutsideItsDirectory) {
    std::vector<PackageEntry> entries;
    // Split as the player splits names: a "/" after a lone lead byte still
    // separates, and empty and "." parts are left out.
    for (const char* name : {"..\\evil", "C:\\drive", "\\absolute", "a\\..\\..\\up", "\x81/..\\up",
                             "two\nlines", "link\\x", "ok\\good.txt", "ok\\.\\\\dot.txt"}) {
        entries.push_back({name, "data"});
    }
    const std::string package = Write("evil.vp3", PackageBytes(entries));
    fs::create_directories(Path("out"));
    fs::create_directories(Path("elsewhere"));
    fs::create_directory_symlink(Path("elsewhere"), Path("out/link"));
    // A file already there that is another name of a file outside is replaced, not written into.
    fs::create_directories(Path("out/ok"));
    fs::create_hard_link(Write("kept.txt", "kept"), Path("out/ok/good.txt"));

    Result extracted = Run({"extract", package, Path("out")});
    EXPECT_EQ(extracted.status, 1);
    EXPECT_EQ(SplitLines(extracted.err).size(), 7u) << extracted.err;
    EXPECT_NE(extracted.err.find(": ../evil: unsafe name, not extracted: \"..\" path component\n"),
              std::string::npos)
        << extracted.err;
    EXPECT_EQ(Read("out/ok/good.txt"), "data");
    EXPECT_EQ(Read("out/ok/dot.txt"), "data");
    EXPECT_EQ(Read("kept.txt"), "kept");
    EXPECT_FALSE(fs::exists(Path("evil")) || fs::exists(Path("up")));
    EXPECT_TRUE(fs::is_empty(Path("elsewhere")));
    EXPECT_EQ(FilesBelow(dir / "out").size(), 2u) << "no temporary file is left";

    Result verified = Run({"verify", package});
    EXPECT_EQ(verified.status, 1);
    EXPECT_EQ(SplitLines(verified.err).size(), 6u) << verified.err;
    EXPECT_EQ(ListedEntries(Run({"list", package}).out).count("two?lines"), 1u);
}

TEST_F(Vp3tool, ReportsEachErrorOnOneLineWithItsExitStatus) {
    Write("in/a.txt", "a");
    Write("text.vf3", "/// not a package\r\n");
    const std::string out = Path("out.vp3");
    const std::vector<std::vector<std::string>> usageErrors{
        {},
        {"frobnicate"},
        {"create", out},
        {"create", "--id", "TOOLONGID", out, Path("in")},
        {"create", "--bogus", out, Path("in")},
        {"list"},
        {"extract", out}};
    for (const auto& args : usageErrors) {
        Result result = Run(args);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(SplitLines(result.err).size(), 1u) << result.err;
    }

    std::string kana;  // 3 folders of 60 kana: 363 bytes in CP932
    for (int i = 0; i < 60; ++i) kana += "あ";
    Write("long/" + kana + "/" + kana + "/" + kana + "/x", "x");
    Write("emoji/\xF0\x9F\x98\x80.txt", "x");
    Write("case1/Same.txt", "1");
    Write("case2/SAME.TXT", "2");
    const std::vector<std::pair<std::vector<std::string>, std::string>> inputErrors{
        {{"list", Path("missing.vp3")}, "missing.vp3"},
        {{"verify", Path("text.vf3")}, "text.vf3"},
        {{"create", out, Path("missing")}, "missing"},
        {{"create", out, Path("long")}, "x"},
        {{"create", out, Path("emoji")}, ".txt"},
        {{"create", out, Path("case1"), Path("case2")}, "Same.txt"},
        {{"create", "--stub", Path("missing.exe"), out, Path("in")}, "missing.exe"},
        {{"create", Path("no/such/dir/out.vp3"), Path("in")}, "out.vp3"},
        {{"extract", Path("in/a.txt"), Path("x")}, "a.txt"}};
    for (const auto& [args, file] : inputErrors) {
        Result result = Run(args);
        EXPECT_EQ(result.status, 1) << ::testing::PrintToString(args);
        EXPECT_EQ(SplitLines(result.err).size(), 1u) << result.err;
        EXPECT_NE(result.err.find(file + ":"), std::string::npos) << result.err;
    }
    // A failed build leaves neither the package nor temporary files behind.
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir)) left.insert(entry.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{".err", ".out", "case1", "case2", "emoji", "in", "long",
                                           "text.vf3"}));
}

TEST_F(Vp3tool, CreateReplacesOutOnlyWithAFinishedPackage) {
    const std::string out = Write("game.vp3", "the old package");
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    Write("in/a.txt", "a");
    auto names = [this] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
        return names;
    };
    const std::set<std::string> before = {".err", ".out", "big", "game.vp3", "in"};
    fs::create_directories(Path("big"));

    // Its memory cannot be read: the build fails after it has begun.
    Result failed = Run({"create", out, Path("in"), "/proc/self/mem"});
    EXPECT_EQ(failed.status, 1) << failed.err;
    EXPECT_EQ(Read("game.vp3"), "the old package");
    EXPECT_EQ(names(), before);

    // Interrupted while it packs 256 MiB (a sparse file, no disk used).
    fs::resize_file(Write("big/zeros.dat", ""), 256 << 20);
    std::string tool = VP3TOOL;
    std::vector<std::string> args = {tool, "create", "--compress", out, Path("big")};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    for (int wait = 0; wait < 10000 && names().size() < before.size() + 3; ++wait) usleep(1000);
    EXPECT_EQ(names().size(), before.size() + 3) << "the package and two scratch files";
    kill(pid, SIGTERM);
    int status;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(Read("game.vp3"), "the old package");
    EXPECT_EQ(names(), before);

    // Finished, it takes the old package's place and permissions.
    ASSERT_EQ(Run({"create", out, Path("in")}).status, 0);
    EXPECT_EQ(ListedEntries(Run({"list", out}).out).count("a.txt"), 1u);
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(names(), before);
}

}  // namespace

// Each format goes through the player's loader; the written PNG carries the
// picture's transparency as alpha, and the plug-ins beside the tool are used.
TEST_F(Vp3tool, ConvertsEveryPictureFormatToPng) {
    const std::string data = ORV_TEST_DATA;
    Write("pic.bmp", ReadFile(data + "/bmpsuite/pal4rle.bmp"));
    Write("old.MAG", ReadFile(data + "/mag/pal4_16c_128x64.mag"));
    Write("keyed.png", ReadFile(data + "/pngsuite/tbrn2c08.png"));
    std::string tga(18, '\0');  // 1 x 1, 24-bit
    tga[2] = 2, tga[12] = 1, tga[14] = 1, tga[16] = 24;
    Write("dot.tga", tga + "\x30\x20\x10");
    for (const char* input : {"pic.bmp", "old.MAG", "keyed.png", "dot.tga"}) {
        Result result = Run({"convert", Path(input), Path("out.png")});
        EXPECT_EQ(result.status, 0) << input << ": " << result.err;
        graphics::TLasGraphic written;
        ASSERT_TRUE(written.LoadPngFile(Path("out.png"))) << input;
        if (std::string(input) == "dot.tga") {
            EXPECT_EQ(written.GetPixel(0, 0), 0x102030u);
        } else if (std::string(input) == "keyed.png") {
            EXPECT_EQ(written.MaskRow(0)[0], 0) << "tRNS transparency becomes alpha";
        }
    }
    Write("junk.xyz", "not a picture");
    EXPECT_EQ(Run({"convert", Path("junk.xyz"), Path("out.png")}).status, 1);
    EXPECT_EQ(Run({"convert", Path("pic.bmp"), Path("no/such/dir/out.png")}).status, 1);
    EXPECT_EQ(Run({"convert", Path("pic.bmp"), Path("out.bmp")}).status, 2);
}
