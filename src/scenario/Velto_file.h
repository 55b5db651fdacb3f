// TVeltoFile: the scenario document. A list of CP932 text lines holding header
// blocks of KEY=VALUE settings, books and pages of commands, with a block index
// derived from the lines. The lines are never parsed into a tree: settings are
// edited in place and the index follows.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scenario/Text_util.h"
#include "scenario/Velto_index.h"

namespace scenario {

// Line kinds of ClassifyLine and MakeBlockLine.
enum BlockLineKind : int {
    kOrdinaryLine = -1,
    kUnknownBlock = 0,
    kHeadStart = 3,
    kHeadEnd = 4,
    kBookStart = 5,
    kBookEnd = 6,
    kPageStart = 7,
    kPageEnd = 8,
};

// clang-format off
// "ファイルが破損しています\r\n": the start of every report of a damaged file.
inline constexpr std::string_view kFileDamagedMessage =
    "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x94j\x91\xB9\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7\r\n";
// clang-format on

// A page as the block index holds it.
struct TPageBlock {
    std::string Book;
    std::string Page;
    int32_t Start;  // the lines of its start and end
    int32_t End;
};

class TVeltoFile {
public:
    // Far beyond any real scenario. More lines are damage or a hostile file
    // (megabytes of bare line breaks); refusing them keeps every structure
    // over the lines bounded.
    static constexpr size_t kMaxLines = size_t{1} << 22;

    TVeltoFile();

    // Two banner lines and nothing else.
    void NewDocument();
    // `path` is a disk path (UTF-8). False when the file cannot be read or
    // has more than kMaxLines lines; the document is then empty.
    bool LoadFromFile(const std::string& path);
    bool LoadFromStream(std::istream& stream);
    // Splits at LF, CR or CR LF; a NUL byte ends the text. False, and an
    // empty document, beyond kMaxLines lines.
    bool LoadFromText(std::string text);

    std::string GetValue(std::string_view block, std::string_view key, std::string_view fallback);
    // Whether header block `block` has a line for `key`.
    bool HasKey(std::string_view block, std::string_view key);
    int32_t GetInt(std::string_view block, std::string_view key, int32_t fallback);
    bool GetBool(std::string_view block, std::string_view key, bool fallback);
    void SetValue(std::string_view block, std::string_view key, std::string_view value);
    void SetInt(std::string_view block, std::string_view key, int32_t value);
    void CreateHead(std::string_view name);

    bool FindHead(std::string_view name, int32_t& start, int32_t& end);
    bool FindBook(std::string_view name, int32_t& start, int32_t& end);
    bool FindPage(std::string_view book, std::string_view page, int32_t& start, int32_t& end);
    bool FindIndexEntry(std::string_view key, int32_t& start, int32_t& end);

    void GetBookList(StringList& list);
    // Every page in index order, duplicates included.
    std::vector<TPageBlock> GetPageList();
    bool BookExists(std::string_view name);
    bool CopyBookLines(std::string_view name, LineList& list);
    bool ImportBook(std::string_view name, TVeltoFile& source);

    // Inner lines of a page (parameter lines included); 0 for a missing page.
    int32_t GetCommandCount(std::string_view book, std::string_view page);
    // Inner line n of the page, verbatim; "" when n is out of range.
    std::string GetCommandLine(std::string_view book, std::string_view page, int32_t n);

    static int ClassifyLine(std::string_view line);
    static std::string MakeBlockLine(int kind, std::string_view name);
    static std::string GetBlockName(std::string_view line);
    // Reports damage in a message box and stops there; false then.
    bool RebuildIndex();

    const LineList& Lines() const { return lines_; }
    // The bytes of all lines, without line breaks.
    size_t TextBytes() const { return lines_.TextBytes(); }
    StringList Index() const;
    bool IndexDirty() const { return indexDirty_; }
    // The line at which the last rebuild stopped at damage; -1 after a
    // complete one.
    int32_t DamagedLine() const { return damagedLine_; }
    const std::string& CacheKey() const { return cacheKey_; }
    int32_t CacheStart() const { return cacheStart_; }
    int32_t CacheEnd() const { return cacheEnd_; }

private:
    static constexpr size_t kNoEntry = static_cast<size_t>(-1);

    void ResetCache();
    int32_t IndexBlocks();
    int32_t FindKeyLine(int32_t blockStart, int32_t blockEnd, std::string_view key);
    // Where the lines of a large header block stand by key (the text before
    // their first "="), as offsets from the block's start line.
    HashSlots* KeyTableForCachedBlock(int32_t blockStart, int32_t blockEnd);
    void AddKeyLine(HashSlots& keys, int32_t blockStart, int32_t line);
    void ShiftIndexAfterInsert(int32_t line);

    LineList lines_;
    TBlockIndex index_;
    bool indexDirty_ = true;
    int32_t damagedLine_ = -1;
    std::string cacheKey_;
    int32_t cacheStart_ = -1;
    int32_t cacheEnd_ = -1;
    size_t cacheEntry_ = kNoEntry;  // index position of the cached block, when known
    std::unordered_map<size_t, HashSlots> keyTables_;  // by index position
};

}  // namespace scenario
