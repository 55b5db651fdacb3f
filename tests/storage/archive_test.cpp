#include "storage/Link_arc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "common/colliding_names.h"
#include "common/test_files.h"
#include "common/test_package.h"
#include "common/test_platform.h"
#include "platform/ascii.h"

namespace fs = std::filesystem;
using namespace storage;
using namespace testkit;

namespace {

// Text that compresses, but not to nothing.
std::string Text(size_t size) {
    std::string text;
    for (uint32_t i = 0; text.size() < size; ++i) text += "line " + std::to_string(i * i) + "\r\n";
    text.resize(size);
    return text;
}

std::pair<bool, std::string> ReadEntry(LinkReader& reader, int32_t index) {
    LinkMemoryStream stream;
    bool ok = Link_ReadToStream(&stream, index, &reader);
    return {ok, stream.bytes};
}

class LinkArchive : public TempDirTest {
protected:
    // Writes the archive laid out by hand and opens it.
    bool Open(LinkReader& reader, const std::vector<PackageEntry>& entries) {
        return Link_Open(Write("archive.vp3", PackageBytes(entries)).c_str(), &reader);
    }
};

const std::vector<std::string> kInflateFailed{"error ok zlib decompress fail"};

}  // namespace

// Entries of every form are written and read in the vp3tool round trips; the
// access and picture tests open packages and read entries by name.
TEST_F(LinkArchive, LookupsFoldAsciiCaseAndTakeTheFirstMatch) {
    LinkReader reader;
    ASSERT_TRUE(Open(reader, {}));
    EXPECT_EQ(Link_FindIndex(&reader, "a"), -1);
    EXPECT_EQ(Link_FindIndex(&reader, nullptr), -1);

    // The second byte of "\x83\x61" is an "a".
    const std::string unterminated(256, 'n');
    ASSERT_TRUE(Open(reader, {{"Readme.TXT", "1"},
                              {"readme.txt", "2"},
                              {"\x83\x61", "3"},
                              {"\x83\x41", "4"},
                              {"", "5"},
                              {unterminated, "6"}}));
    EXPECT_EQ(Link_FindIndex(&reader, "readme.TXT"), 0);
    EXPECT_EQ(Link_FindIndex(&reader, "\x83\x41"), 2) << "each byte is folded alone";
    EXPECT_EQ(Link_FindIndex(&reader, "readme"), -1);
    EXPECT_EQ(Link_FindIndex(&reader, ""), 4);
    EXPECT_EQ(Link_FindIndex(&reader, nullptr), 4);
    EXPECT_EQ(std::string(Link_GetEntry(&reader, 5)->name), std::string(255, 'n'));
    EXPECT_EQ(Link_FindIndex(&reader, std::string(255, 'N').c_str()), 5);
    EXPECT_EQ(Link_FindIndex(&reader, unterminated.c_str()), -1);
    EXPECT_EQ(Link_GetEntry(&reader, 6), nullptr);
    EXPECT_FALSE(ReadEntry(reader, -1).first);
    Link_Close(&reader);
}

// Names that all land in one slot of an unkeyed table would make every probe
// walk all the names before it: opening becomes quadratic in the entry count.
TEST_F(LinkArchive, NamesCraftedToCollideStillSpreadOverTheNameTable) {
    const std::vector<std::string> names = CollidingNames(4096, 16);
    std::vector<PackageEntry> entries;
    for (const std::string& name : names) entries.push_back({name, ""});
    entries.push_back({platform::AsciiLowerCase(names[7]), ""});
    LinkReader reader;
    ASSERT_TRUE(Open(reader, entries));

    // A probe walks a run of occupied slots; at half load random runs stay
    // below 60 slots.
    size_t run = 0, longest = 0;
    for (int32_t index : reader.nameTable) {
        run = index < 0 ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    EXPECT_LT(longest, 200u);
    int32_t misses = 0;
    for (int32_t i = 0; i < static_cast<int32_t>(names.size()); ++i) {
        misses += Link_FindIndex(&reader, platform::AsciiLowerCase(names[i]).c_str()) != i;
    }
    EXPECT_EQ(misses, 0);
    Link_Close(&reader);
}

TEST_F(LinkArchive, ReadsNeverLeaveTheEntry) {
    LinkReader reader;
    ASSERT_TRUE(Open(reader, {{"first", "AAAAAA"}, {"middle", "0123456789"}, {"last", "xyz"}}));
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_TRUE(Link_Seek(&reader, 1));
    EXPECT_EQ(Link_Read(&reader, buffer, 4, 4), 2u) << "two whole items, the third is cut";
    EXPECT_EQ(std::string(buffer, 11), "0123456789#") << "not a byte of the next entry";
    EXPECT_EQ(Link_Read(&reader, buffer, 1, 16), 0u);

    ASSERT_TRUE(Link_Seek(&reader, 1));
    ASSERT_EQ(fseeko(reader.file, -3, SEEK_CUR), 0);
    EXPECT_EQ(Link_Read(&reader, buffer, 1, 16), 0u) << "not a byte of the entry before";

    ASSERT_TRUE(Link_Seek(&reader, 2));
    EXPECT_EQ(Link_Read(&reader, buffer, 1, 16), 3u) << "the last entry ends at the file's end";
    EXPECT_EQ(std::string(buffer, 3), "xyz");
    Link_Close(&reader);
}

TEST_F(LinkArchive, RefusesDirectoriesThatDoNotFitTheFile) {
    const std::string good = PackageBytes({{"a", "abc"}, {"b", "de"}});
    const size_t countAt = 264, secondSizeAt = 268 + 272 + 268, secondOffsetAt = secondSizeAt - 4;
    auto with = [&](size_t at, uint32_t value) {
        return std::string(good).replace(at, 4, Le32(value));
    };
    const std::string damaged[] = {
        good.substr(0, 200),
        with(countAt, 3),
        with(countAt, 0xFFFFFFFF),
        with(secondSizeAt, 3),
        with(secondOffsetAt, 0xFFFFFFFF),
        good.substr(0, good.size() - 1),
    };
    for (const std::string& bytes : damaged) {
        LinkReader reader;
        EXPECT_FALSE(Link_Open(Write("bad.vp3", bytes).c_str(), &reader));
        EXPECT_FALSE(
            Link_OpenAppended(Write("bad.exe", "MZ" + kStubSeparator + bytes).c_str(), &reader));
        EXPECT_TRUE(reader.file == nullptr && reader.count == 0 && reader.entries.empty());
    }

    // However much file there is (sparse here), a count beyond the cap is
    // refused before anything is allocated for it.
    for (uint32_t count : {kLinkMaxEntries, kLinkMaxEntries + 1}) {
        const std::string path = Write("huge.vp3", PackageBytes({}));
        fs::resize_file(path, kLinkHeaderSize + uint64_t{kLinkEntrySize} * count);
        std::fstream(path, std::ios::in | std::ios::out | std::ios::binary)
            .seekp(countAt)
            .write(Le32(count).data(), 4);
        LinkReader reader;
        EXPECT_EQ(Link_Open(path.c_str(), &reader), count == kLinkMaxEntries) << count;
        Link_Close(&reader);
    }

    // A "+" ends the separator only after at least 201 dashes.
    const std::pair<std::string, bool> separators[] = {
        {std::string(200, '-') + "+", false},
        {std::string(201, '-') + "+", true},
        {std::string(150, '-') + "+" + std::string(60, '-') + "+", false},
        {"", false},
    };
    for (const auto& [separator, found] : separators) {
        LinkReader reader;
        EXPECT_EQ(Link_OpenAppended(Write("sep.exe", "MZ" + separator + good).c_str(), &reader),
                  found)
            << separator.size();
        EXPECT_EQ(reader.count, found ? 2 : 0);
        Link_Close(&reader);
    }
}

TEST_F(LinkArchive, DamagedCompressedEntriesFailWithOneMessage) {
    testkit::ScopedPlatform host;
    auto failsOnce = [&](LinkReader& reader, int32_t index) {
        host.boxes.Clear();
        return !ReadEntry(reader, index).first && Shown(host.boxes) == kInflateFailed;
    };

    const std::string exact = Text(3 * 1024);
    const std::string stream = Compressed(exact);
    const std::string cut = stream.substr(0, stream.size() - 5);
    LinkReader reader;
    ASSERT_TRUE(Open(reader, {
                                 {"empty", "", kLinkCompressed},
                                 {"exact", stream, kLinkCompressed},
                                 // the rest of the stream follows as the next entry
                                 {"cut", cut, kLinkCompressed},
                                 {"rest", stream.substr(cut.size())},
                             }));
    EXPECT_TRUE(failsOnce(reader, 0));
    EXPECT_EQ(ReadEntry(reader, 1), std::make_pair(true, exact));
    EXPECT_TRUE(failsOnce(reader, 2));

    // Broken and odd streams from zlib's own tests. Only complete zlib-format
    // streams inflate; raw deflate and gzip data are not zlib streams.
    const std::string data = std::string(ORV_TEST_DATA) + "/zlib/";
    std::vector<PackageEntry> items;
    std::vector<bool> completes;
    for (const std::string& line : SplitLines(ReadFile(data + "index.tsv"))) {
        std::string file, call, format, windowBits, result;
        std::istringstream(line) >> file >> call >> format >> windowBits >> result;
        if (file == "file") continue;  // the heading
        ASSERT_TRUE(fs::exists(data + file)) << file;
        items.push_back({file, ReadFile(data + file), kLinkCompressed});
        completes.push_back(format == "zlib" && windowBits == "15" && result == "Z_STREAM_END");
    }
    ASSERT_EQ(items.size(), 46u);
    ASSERT_TRUE(Open(reader, items));
    for (int32_t i = 0; i < reader.count; ++i) {
        SCOPED_TRACE(items[i].name);
        if (completes[i]) {
            EXPECT_TRUE(ReadEntry(reader, i).first);
        } else {
            EXPECT_TRUE(failsOnce(reader, i));
        }
    }
    Link_Close(&reader);
}

TEST_F(LinkArchive, InflatedSizeIsBoundedByDeflatesRatio) {
    EXPECT_EQ(Link_InflateBound(0xFFFFFFFF), uint64_t{1} << 30);

    const std::string zeros(64 << 20, '\0');
    const std::string stream = Compressed(zeros);
    LinkReader reader;
    ASSERT_TRUE(Open(reader, {{"zeros", stream, kLinkCompressed}}));
    auto [ok, bytes] = ReadEntry(reader, 0);
    EXPECT_TRUE(ok) << "stored in " << stream.size() << " bytes";
    EXPECT_TRUE(bytes == zeros);

    testkit::ScopedPlatform host;
    LinkMemoryStream limited;
    ASSERT_TRUE(Link_Seek(&reader, 0));
    EXPECT_TRUE(Link_InflateWithin(&limited, &reader, zeros.size()));
    ASSERT_TRUE(Link_Seek(&reader, 0));
    EXPECT_FALSE(Link_InflateWithin(&limited, &reader, zeros.size() - 1));
    EXPECT_EQ(Shown(host.boxes), kInflateFailed);
    Link_Close(&reader);
}
