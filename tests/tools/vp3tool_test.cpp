// Runs the built vp3tool as a subprocess on packages in a temporary directory.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "storage/Link_arc.h"

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Entry name -> the tab-separated fields after it, from `vp3tool list`.
std::map<std::string, std::vector<std::string>> ListedEntries(const std::string& listing) {
    std::map<std::string, std::vector<std::string>> entries;
    for (const std::string& line : Lines(listing)) {
        if (line.rfind("ID: ", 0) == 0 || line.rfind("Description: ", 0) == 0) continue;
        std::vector<std::string> fields;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
        std::string name = fields.front();
        fields.erase(fields.begin());
        entries[name] = fields;
    }
    return entries;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// "画像/ソース表.txt": its CP932 form has "\" as the second byte of three characters.
const std::string kJapaneseName =
    "\xE7\x94\xBB\xE5\x83\x8F/\xE3\x82\xBD\xE3\x83\xBC\xE3\x82\xB9"
    "\xE8\xA1\xA8.txt";
const char* const kJapaneseEntry = "\x89\xE6\x91\x9C\\\x83\\\x81[\x83X\x95\\.txt";

class Vp3tool : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "vp3tool-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        root_ = name;
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path Path(const std::string& relative) const { return root_ / relative; }

    Result Run(const std::vector<std::string>& args) const {
        // Output into files, so that no pipe can fill up and stall the tool.
        std::string outPath = Path(".out").string(), errPath = Path(".err").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        std::vector<char*> argv{const_cast<char*>(VP3TOOL)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        Result result;
        pid_t pid;
        int waitStatus = 0;
        if (posix_spawn(&pid, VP3TOOL, &actions, nullptr, argv.data(), environ) == 0 &&
            waitpid(pid, &waitStatus, 0) == pid && WIFEXITED(waitStatus)) {
            result.status = WEXITSTATUS(waitStatus);
        }
        posix_spawn_file_actions_destroy(&actions);
        result.out = ReadFile(outPath);
        result.err = ReadFile(errPath);
        return result;
    }

    // A small game: nested folders, a Japanese name, an empty file, a PNG,
    // compressible text and incompressible noise.
    std::map<std::string, std::string> MakeGame() const {
        std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(3000, 'p');
        std::map<std::string, std::string> files{
            {"velto.vf3", "/// game\r\n<Book=\"b\">\r\n<Book End>\r\n"},
            {kJapaneseName, "\x82\xA0 text"},
            {"bgm/deep/theme.ogg", RandomBytes(70000, 1)},
            {"empty.dat", ""},
            {"pic.png", png},
            {"text/long.txt", std::string(200000, 'x') + "end"},
        };
        for (const auto& [name, bytes] : files) WriteFile(Path("game/" + name), bytes);
        return files;
    }

    // Every file below `folder`, by its relative path.
    static std::map<std::string, std::string> FilesBelow(const fs::path& folder) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                files[entry.path().lexically_relative(folder).string()] = ReadFile(entry.path());
            }
        }
        return files;
    }

    fs::path root_;
};

TEST_F(Vp3tool, RoundTripsPlainAndCompressedPackagesByteForByte) {
    std::map<std::string, std::string> files = MakeGame();
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "stored");
        std::string package = Path(compress ? "z.vp3" : "s.vp3").string();
        std::vector<std::string> create{"create", package, Path("game").string()};
        if (compress) create.insert(create.begin() + 1, "--compress");
        Result created = Run(create);
        ASSERT_EQ(created.status, 0) << created.err;
        EXPECT_EQ(created.err, "");

        Result listed = Run({"list", package});
        ASSERT_EQ(listed.status, 0) << listed.err;
        EXPECT_EQ(Lines(listed.out)[0], "ID: OV3PKG");
        auto entries = ListedEntries(listed.out);
        ASSERT_EQ(entries.size(), files.size());
        for (const auto& [name, bytes] : files) {
            ASSERT_EQ(entries.count(name), 1u) << name;
            const auto& fields = entries[name];
            EXPECT_EQ(fields[1], std::to_string(bytes.size())) << name;
            bool packed = compress && name != "pic.png";
            EXPECT_EQ(fields[2], packed ? "compressed" : "stored") << name;
            EXPECT_EQ(fields[3], "-");
        }
        if (compress) {
            EXPECT_LT(std::stoul(entries["text/long.txt"][0]), 10000u);
        }

        fs::path out = Path(compress ? "out-z" : "out-s");
        Result extracted = Run({"extract", package, out.string()});
        ASSERT_EQ(extracted.status, 0) << extracted.err;
        EXPECT_EQ(FilesBelow(out), files);
    }

    storage::LinkReader reader;
    ASSERT_TRUE(storage::Link_Open(Path("s.vp3").c_str(), &reader));
    EXPECT_GE(storage::Link_FindIndex(&reader, kJapaneseEntry), 0);
    storage::Link_Close(&reader);

    // The same inputs make the same bytes, even named in another order.
    ASSERT_EQ(Run({"create", Path("again.vp3").string(), Path("game/text").string(),
                   Path("game/pic.png").string()})
                  .status,
              0);
    ASSERT_EQ(Run({"create", Path("again2.vp3").string(), Path("game/pic.png").string(),
                   Path("game/text").string()})
                  .status,
              0);
    EXPECT_EQ(ReadFile(Path("again.vp3")), ReadFile(Path("again2.vp3")));
    // One named entry only, "/" or "\" between folders.
    Result one =
        Run({"extract", Path("s.vp3").string(), Path("one").string(), "BGM\\deep/THEME.ogg"});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(FilesBelow(Path("one")).size(), 1u);
}

TEST_F(Vp3tool, MarksEntriesForExtractionAndAppendsBehindAStub) {
    std::map<std::string, std::string> files = MakeGame();
    std::string stub = std::string("MZ stub ") + std::string(150, '-') + "+ more";
    WriteFile(Path("stub.exe"), stub);
    std::string package = Path("game.exe").string();
    Result created = Run({"create", package, "--extract", "*.OGG", "--extract", "text/*", "--stub",
                          Path("stub.exe").string(), "--id", "OV3PKG", Path("game").string()});
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(ReadFile(package).substr(0, stub.size()), stub);

    Result listed = Run({"list", package});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(Lines(listed.out)[0], "ID: OV3PKG");
    for (const auto& [name, fields] : ListedEntries(listed.out)) {
        bool marked = name == "bgm/deep/theme.ogg" || name == "text/long.txt";
        EXPECT_EQ(fields[3], marked ? "extract" : "-") << name;
    }
    storage::LinkReader reader;
    ASSERT_TRUE(storage::Link_OpenAppended(package.c_str(), &reader));
    const storage::LinkEntry* ogg = storage::Link_FindEntry(&reader, "bgm\\deep\\theme.ogg");
    ASSERT_NE(ogg, nullptr);
    EXPECT_EQ(ogg->options, storage::kLinkExtract);
    EXPECT_EQ(ogg->attributes, 0x01000000u);
    storage::Link_Close(&reader);

    ASSERT_EQ(Run({"extract", package, Path("out").string()}).status, 0);
    EXPECT_EQ(FilesBelow(Path("out")), files);
}

TEST_F(Vp3tool, VerifyFindsDamagedEntriesAndTruncatedFiles) {
    MakeGame();
    std::string package = Path("game.vp3").string();
    ASSERT_EQ(Run({"create", "--compress", package, Path("game").string()}).status, 0);
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
    std::string bytes = ReadFile(package);
    for (uint64_t i = end - 6; i < end; ++i) bytes[i] = static_cast<char>(~bytes[i]);
    WriteFile(package, bytes);

    Result damaged = Run({"verify", package});
    EXPECT_EQ(damaged.status, 1);
    ASSERT_EQ(Lines(damaged.err).size(), 1u) << damaged.err;
    EXPECT_EQ(damaged.err, "vp3tool: " + package + ": text/long.txt: zlib decompress fail\n");
    Result listed = Run({"list", package});
    EXPECT_EQ(listed.status, 1);
    EXPECT_EQ(ListedEntries(listed.out)["text/long.txt"][1], "?");
    Result extracted = Run({"extract", package, Path("out").string()});
    EXPECT_EQ(extracted.status, 1);
    EXPECT_FALSE(fs::exists(Path("out/text/long.txt")));
    EXPECT_TRUE(fs::exists(Path("out/pic.png")));

    bytes.resize(bytes.size() / 2);
    WriteFile(package, bytes);
    for (const char* command : {"verify", "list"}) {
        Result truncated = Run({command, package});
        EXPECT_EQ(truncated.status, 1) << command;
        ASSERT_EQ(Lines(truncated.err).size(), 1u) << truncated.err;
        EXPECT_EQ(truncated.err.rfind("vp3tool: " + package + ": ", 0), 0u) << truncated.err;
    }
}

TEST_F(Vp3tool, ExtractNeverWritesOutsideItsDirectory) {
    std::string package = Path("evil.vp3").string();
    storage::LinkWriter writer;
    storage::LinkW_Init(&writer);
    ASSERT_TRUE(storage::LinkW_CreateWith(&writer, package.c_str(), Path("h.tmp").c_str(),
                                          Path("d.tmp").c_str()));
    for (const char* name :
         {"..\\evil", "C:\\drive", "\\absolute", "a\\..\\..\\up", "two\nlines", "link\\x",
          "ok\\good.txt"}) {
        ASSERT_TRUE(storage::LinkW_BeginEntry(&writer, name));
        storage::LinkW_Write(&writer, "data", 1, 4);
        storage::LinkW_EndEntry(&writer);
    }
    ASSERT_TRUE(storage::LinkW_Finish(&writer));
    fs::create_directories(Path("out"));
    fs::create_directories(Path("elsewhere"));
    fs::create_directory_symlink(Path("elsewhere"), Path("out/link"));

    Result extracted = Run({"extract", package, Path("out").string()});
    EXPECT_EQ(extracted.status, 1);
    EXPECT_EQ(Lines(extracted.err).size(), 6u) << extracted.err;
    EXPECT_NE(extracted.err.find(": ../evil: "), std::string::npos) << extracted.err;
    EXPECT_EQ(ReadFile(Path("out/ok/good.txt")), "data");
    EXPECT_FALSE(fs::exists(Path("evil")));
    EXPECT_FALSE(fs::exists(Path("up")));
    EXPECT_TRUE(fs::is_empty(Path("elsewhere")));

    Result verified = Run({"verify", package});
    EXPECT_EQ(verified.status, 1);
    EXPECT_EQ(Lines(verified.err).size(), 5u) << verified.err;
    Result listed = Run({"list", package});
    EXPECT_EQ(ListedEntries(listed.out).count("two?lines"), 1u) << listed.out;
}

TEST_F(Vp3tool, ReportsEachErrorOnOneLineWithItsExitStatus) {
    WriteFile(Path("in/a.txt"), "a");
    WriteFile(Path("text.vf3"), "/// not a package\r\n");
    std::string out = Path("out.vp3").string();
    const std::vector<std::vector<std::string>> usageErrors{
        {},
        {"frobnicate"},
        {"create", out},
        {"create", "--id", "TOOLONGID", out, Path("in").string()},
        {"create", "--bogus", out, Path("in").string()},
        {"list"},
        {"extract", out},
    };
    for (const auto& args : usageErrors) {
        Result result = Run(args);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    }

    std::string longName;  // 3 folders of 60 kana: 363 bytes in CP932
    for (int folder = 0; folder < 3; ++folder) {
        for (int i = 0; i < 60; ++i) longName += "\xE3\x81\x82";  // "あ"
        longName += '/';
    }
    WriteFile(Path("long/" + longName + "x"), "x");
    WriteFile(Path("emoji/\xF0\x9F\x98\x80.txt"), "x");
    WriteFile(Path("case1/Same.txt"), "1");
    WriteFile(Path("case2/SAME.TXT"), "2");
    const std::vector<std::pair<std::vector<std::string>, std::string>> inputErrors{
        {{"list", Path("missing.vp3").string()}, "missing.vp3"},
        {{"verify", Path("text.vf3").string()}, "text.vf3"},
        {{"create", out, Path("missing").string()}, "missing"},
        {{"create", out, Path("long").string()}, "x"},
        {{"create", out, Path("emoji").string()}, ".txt"},
        {{"create", out, Path("case1").string(), Path("case2").string()}, "Same.txt"},
        {{"create", "--stub", Path("missing.exe").string(), out, Path("in").string()},
         "missing.exe"},
        {{"create", Path("no/such/dir/out.vp3").string(), Path("in").string()}, "out.vp3"},
        {{"extract", Path("in/a.txt").string(), Path("x").string()}, "a.txt"},
    };
    for (const auto& [args, file] : inputErrors) {
        Result result = Run(args);
        EXPECT_EQ(result.status, 1) << ::testing::PrintToString(args);
        ASSERT_EQ(Lines(result.err).size(), 1u) << result.err;
        EXPECT_NE(result.err.find(file + ":"), std::string::npos) << result.err;
    }
    // A failed build leaves neither the package nor temporary files behind.
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(root_)) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".err", ".out", "case1", "case2", "emoji", "in",
                                              "long", "text.vf3"}));
}

TEST_F(Vp3tool, BuildsTheSystemLibrary) {
    std::string library = (fs::path(VP3TOOL).parent_path() / "veltort3.vlb").string();
    Result listed = Run({"list", library});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(Lines(listed.out)[0], "ID: OV3LIB");
    auto entries = ListedEntries(listed.out);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.count("_inputchar.png"), 1u);
    EXPECT_EQ(entries.count("system.vf3"), 1u);
    EXPECT_EQ(Run({"verify", library}).status, 0);

    ASSERT_EQ(Run({"extract", library, Path("lib").string()}).status, 0);
    std::string scenario = ReadFile(Path("lib/system.vf3"));
    EXPECT_EQ(scenario.rfind("/// ", 0), 0u);
    EXPECT_NE(scenario.find("\r\n<Book=\"_system\">\r\n<Page=\"_init\">\r\n@Return\r\n"),
              std::string::npos);
    std::string marker = ReadFile(Path("lib/_inputchar.png"));
    ASSERT_GE(marker.size(), 24u);
    EXPECT_EQ(marker.substr(1, 3), "PNG");
    EXPECT_EQ(marker.substr(16, 8), std::string("\0\0\0\x20\0\0\0\x10", 8));  // 32 x 16
}

}  // namespace
