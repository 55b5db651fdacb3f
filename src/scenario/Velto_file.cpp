#include "scenario/Velto_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/dialogs.h"

namespace scenario {
namespace {

// clang-format off
// "ファイル内に未知のブロックが存在します\r\nファイル保護のため処理を停止します\r\n"
constexpr std::string_view kUnknownBlockReport =
    "\x83t\x83@\x83" "C\x83\x8B\x93\xE0\x82\xC9\x96\xA2\x92m\x82\xCC\x83u\x83\x8D\x83" "b\x83N"
    "\x82\xAA\x91\xB6\x8D\xDD\x82\xB5\x82\xDC\x82\xB7\r\n\x83t\x83@\x83" "C\x83\x8B\x95\xDB\x8C"
    "\xEC\x82\xCC\x82\xBD\x82\xDF\x8F\x88\x97\x9D\x82\xF0\x92\xE2\x8E~\x82\xB5\x82\xDC\x82\xB7\r\n";
// clang-format on

// Our own banner; a document file starts with "///", which is how a plain
// scenario file is told from a package.
constexpr std::string_view kBanner1 = "/// Orvanta 3 scenario document";
constexpr std::string_view kBanner2 =
    "/// Edit with care: the player reads this file line by line.";

// Blocks smaller than this are searched line by line; a key map would cost more.
constexpr int32_t kKeyMapMinLines = 16;

void ReportDamage(std::string_view what) {
    std::string text(kFileDamagedMessage);
    text += what;
    platform::ShowMessage(platform::MessageKind::Error, platform::MessageButtons::Ok, text);
}

void ReportUnknownBlock(std::string_view line) {
    std::string text(kUnknownBlockReport);
    text += line;
    platform::ShowMessage(platform::MessageKind::Error, platform::MessageButtons::Ok, text);
}

bool StartsWithKey(std::string_view line, std::string_view key) {
    return line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
           line[key.size()] == '=';
}

std::string_view KeyOf(std::string_view line) {
    return line.substr(0, line.find('='));
}

// For the key tables: whether the line `offset` lines into a block has `key`.
auto HasKeyAt(const LineList& lines, int32_t blockStart, std::string_view key) {
    return [&lines, blockStart, key](uint32_t offset) {
        return KeyOf(lines[blockStart + offset]) == key;
    };
}

std::string_view BlockName(std::string_view line) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return {};
    std::string_view rest = line.substr(eq + 1);
    size_t close = rest.find('>');
    std::string_view name =
        close == std::string_view::npos ? std::string_view() : rest.substr(0, close);
    size_t quote = name.find('"');
    if (quote != std::string_view::npos) {
        name = name.substr(quote + 1);
        size_t second = name.find('"');
        if (second != std::string_view::npos) name = name.substr(0, second);
    }
    return name;
}

}  // namespace

TVeltoFile::TVeltoFile() {
    NewDocument();
}

void TVeltoFile::ResetCache() {
    cacheKey_.clear();
    cacheStart_ = -1;
    cacheEnd_ = -1;
    cacheEntry_ = kNoEntry;
}

void TVeltoFile::NewDocument() {
    indexDirty_ = true;
    ResetCache();
    lines_.clear();
    lines_.push_back(kBanner1);
    lines_.push_back(kBanner2);
    RebuildIndex();
}

bool TVeltoFile::LoadFromFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        LoadFromText("");
        return false;
    }
    return LoadFromStream(file);
}

bool TVeltoFile::LoadFromStream(std::istream& stream) {
    stream.clear();
    stream.seekg(0);
    std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    return LoadFromText(std::move(text));
}

bool TVeltoFile::LoadFromText(std::string text) {
    indexDirty_ = true;
    ResetCache();
    bool loaded = lines_.AssignText(std::move(text), kMaxLines);
    RebuildIndex();
    return loaded;
}

int TVeltoFile::ClassifyLine(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line[0] != '<') return kOrdinaryLine;
    size_t eq = line.find('=');
    std::string_view word;
    bool isStart = eq != std::string_view::npos;
    if (isStart) {
        word = line.substr(1, eq - 1);
    } else {
        size_t space = line.find(' ');
        if (space == std::string_view::npos) return kUnknownBlock;
        word = line.substr(1, space - 1);
    }
    if (word == "Head") return isStart ? kHeadStart : kHeadEnd;
    if (word == "Book") return isStart ? kBookStart : kBookEnd;
    if (word == "Page") return isStart ? kPageStart : kPageEnd;
    return kUnknownBlock;
}

std::string TVeltoFile::MakeBlockLine(int kind, std::string_view name) {
    auto start = [&](std::string_view word) {
        std::string line = "<";
        line.append(word).append("=\"").append(name).append("\">");
        return line;
    };
    switch (kind) {
        case kHeadStart:
            return start("Head");
        case kHeadEnd:
            return "<Head End>";
        case kBookStart:
            return start("Book");
        case kBookEnd:
            return "<Book End>";
        case kPageStart:
            return start("Page");
        case kPageEnd:
            return "<Page End>";
        default:
            return start("Unknown");
    }
}

std::string TVeltoFile::GetBlockName(std::string_view line) {
    return std::string(BlockName(line));
}

bool TVeltoFile::RebuildIndex() {
    index_.Clear();
    keyTables_.clear();
    cacheEntry_ = kNoEntry;
    damagedLine_ = IndexBlocks();
    // Blocks before damage stay usable.
    index_.Finish();
    if (damagedLine_ >= 0) return false;
    ResetCache();
    indexDirty_ = false;
    return true;
}

// Adds an entry for each block up to the end, or up to damage, which it
// reports; the line of the damage then, else -1.
int32_t TVeltoFile::IndexBlocks() {
    using Kind = TBlockIndex::Kind;
    int32_t headStart = -1, bookStart = -1, pageStart = -1;
    uint32_t headName = TBlockIndex::kEmptyName;
    uint32_t bookName = TBlockIndex::kEmptyName;
    uint32_t pageName = TBlockIndex::kEmptyName;
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view line = lines_[i];
        int32_t n = static_cast<int32_t>(i);
        switch (ClassifyLine(line)) {
            case kHeadStart:
                if (headStart != -1) return ReportDamage("[Header block miss close flag]"), n;
                headName = index_.AddName(BlockName(line));
                headStart = n;
                break;
            case kHeadEnd:
                if (headStart == -1) return ReportDamage("[Header block miss start flag]"), n;
                index_.Add(Kind::kHead, headName, TBlockIndex::kEmptyName, headStart, n);
                headStart = -1;
                break;
            case kBookStart:
                if (bookStart != -1) return ReportDamage("[Book block miss close flag]"), n;
                bookName = index_.AddName(BlockName(line));
                bookStart = n;
                break;
            case kBookEnd:
                if (bookStart == -1) return ReportDamage("[Book block miss start flag]"), n;
                index_.Add(Kind::kBook, bookName, TBlockIndex::kEmptyName, bookStart, n);
                bookStart = -1;
                break;
            case kPageStart:
                if (pageStart != -1) return ReportDamage("[Page block miss close flag]"), n;
                pageName = index_.AddName(BlockName(line));
                pageStart = n;
                break;
            case kPageEnd:
                if (pageStart == -1) return ReportDamage("[Page block miss start flag]"), n;
                index_.Add(Kind::kPage, bookName, pageName, pageStart, n);
                pageStart = -1;
                break;
            case kUnknownBlock:
                return ReportUnknownBlock(line), n;
            default:
                break;
        }
    }
    return -1;
}

StringList TVeltoFile::Index() const {
    StringList list;
    list.reserve(index_.size());
    for (size_t position = 0; position < index_.size(); ++position) {
        list.push_back(index_.Text(position));
    }
    return list;
}

bool TVeltoFile::FindIndexEntry(std::string_view key, int32_t& start, int32_t& end) {
    if (!cacheKey_.empty() && key == cacheKey_) {
        start = cacheStart_;
        end = cacheEnd_;
        return true;
    }
    if (indexDirty_) RebuildIndex();
    size_t position = index_.Find(key);
    int32_t first, last;
    if (position == TBlockIndex::npos || !index_.Range(position, key, first, last)) return false;
    cacheKey_ = key;
    cacheStart_ = start = first;
    cacheEnd_ = end = last;
    cacheEntry_ = position;
    return true;
}

bool TVeltoFile::FindHead(std::string_view name, int32_t& start, int32_t& end) {
    std::string key(name);
    key += "/:";
    return FindIndexEntry(key, start, end);
}

bool TVeltoFile::FindBook(std::string_view name, int32_t& start, int32_t& end) {
    std::string key(name);
    key += ':';
    return FindIndexEntry(key, start, end);
}

bool TVeltoFile::FindPage(std::string_view book, std::string_view page, int32_t& start,
                          int32_t& end) {
    std::string key(book);
    key.append("/").append(page).append(":");
    return FindIndexEntry(key, start, end);
}

HashSlots* TVeltoFile::KeyTableForCachedBlock(int32_t blockStart, int32_t blockEnd) {
    if (cacheEntry_ == kNoEntry || blockEnd - blockStart - 1 < kKeyMapMinLines) return nullptr;
    auto [it, created] = keyTables_.try_emplace(cacheEntry_);
    if (created) {
        int32_t last = std::min<int32_t>(blockEnd, static_cast<int32_t>(lines_.size()));
        it->second.Reset(last - blockStart);
        for (int32_t i = blockStart + 1; i < last; ++i) AddKeyLine(it->second, blockStart, i);
    }
    return &it->second;
}

void TVeltoFile::AddKeyLine(HashSlots& keys, int32_t blockStart, int32_t line) {
    std::string_view text = lines_[line];
    if (text.find('=') == std::string_view::npos) return;
    std::string_view key = KeyOf(text);
    keys.AddFirst(HashText(key), line - blockStart, HasKeyAt(lines_, blockStart, key));
}

int32_t TVeltoFile::FindKeyLine(int32_t blockStart, int32_t blockEnd, std::string_view key) {
    if (key.find('=') == std::string_view::npos) {
        if (HashSlots* keys = KeyTableForCachedBlock(blockStart, blockEnd)) {
            int64_t offset = keys->Find(HashText(key), HasKeyAt(lines_, blockStart, key));
            return offset < 0 ? -1 : blockStart + static_cast<int32_t>(offset);
        }
    }
    int32_t last = std::min<int32_t>(blockEnd, static_cast<int32_t>(lines_.size()));
    for (int32_t i = std::max(blockStart + 1, 0); i < last; ++i) {
        if (StartsWithKey(lines_[i], key)) return i;
    }
    return -1;
}

std::string TVeltoFile::GetValue(std::string_view block, std::string_view key,
                                 std::string_view fallback) {
    int32_t start, end;
    if (FindHead(block, start, end)) {
        int32_t line = FindKeyLine(start, end, key);
        if (line >= 0) return std::string(lines_[line].substr(key.size() + 1));
    }
    return std::string(fallback);
}

bool TVeltoFile::HasKey(std::string_view block, std::string_view key) {
    int32_t start, end;
    return FindHead(block, start, end) && FindKeyLine(start, end, key) >= 0;
}

int32_t TVeltoFile::GetInt(std::string_view block, std::string_view key, int32_t fallback) {
    return ParseIntDef(GetValue(block, key, IntToText(fallback)), fallback);
}

bool TVeltoFile::GetBool(std::string_view block, std::string_view key, bool fallback) {
    return GetInt(block, key, fallback ? 1 : 0) != 0;
}

void TVeltoFile::SetValue(std::string_view block, std::string_view key, std::string_view value) {
    int32_t start, end;
    if (!FindHead(block, start, end)) {
        CreateHead(block);
        if (!FindHead(block, start, end)) return;
    }
    std::string line(key);
    line.append("=").append(value);
    int32_t found = FindKeyLine(start, end, key);
    if (found >= 0) {
        lines_.replace(found, line);
        return;
    }
    int32_t at = std::clamp<int32_t>(end, 0, static_cast<int32_t>(lines_.size()));
    bool ordinary = ClassifyLine(line) == kOrdinaryLine;
    lines_.insert(at, line);
    if (cacheEntry_ != kNoEntry) {
        auto keys = keyTables_.find(cacheEntry_);
        if (keys != keyTables_.end()) AddKeyLine(keys->second, start, at);
    }
    cacheEnd_ = end + 1;
    // An ordinary line moves every later block down by one and changes nothing
    // else, so the index can follow without a rebuild.
    if (!indexDirty_ && ordinary) {
        ShiftIndexAfterInsert(at);
    } else {
        indexDirty_ = true;
    }
}

void TVeltoFile::ShiftIndexAfterInsert(int32_t line) {
    for (size_t position = 0; position < index_.size(); ++position) {
        TBlockIndex::Entry& entry = index_[position];
        if (entry.end < line) continue;
        if (entry.start >= line) {
            ++entry.start;
        } else if (position != cacheEntry_) {
            // Another block around the new line (a page named like the header
            // shares its key): its key offsets no longer hold.
            keyTables_.erase(position);
        }
        ++entry.end;
    }
}

void TVeltoFile::SetInt(std::string_view block, std::string_view key, int32_t value) {
    SetValue(block, key, IntToText(value));
}

void TVeltoFile::CreateHead(std::string_view name) {
    lines_.push_back(MakeBlockLine(kHeadStart, name));
    lines_.push_back(MakeBlockLine(kHeadEnd, ""));
    RebuildIndex();
}

void TVeltoFile::GetBookList(StringList& list) {
    list.clear();
    if (indexDirty_) RebuildIndex();
    for (size_t position = 0; position < index_.size(); ++position) {
        if (auto name = index_.ListedName(position)) list.emplace_back(*name);
    }
}

std::vector<TPageBlock> TVeltoFile::GetPageList() {
    if (indexDirty_) RebuildIndex();
    std::vector<TPageBlock> pages;
    for (size_t position = 0; position < index_.size(); ++position) {
        const TBlockIndex::Entry& entry = index_[position];
        if (entry.kind != TBlockIndex::Kind::kPage) continue;
        pages.push_back({std::string(index_.NameText(entry.first)),
                         std::string(index_.NameText(entry.page)), entry.start, entry.end});
    }
    return pages;
}

bool TVeltoFile::BookExists(std::string_view name) {
    StringList books;
    GetBookList(books);
    return std::find(books.begin(), books.end(), name) != books.end();
}

bool TVeltoFile::CopyBookLines(std::string_view name, LineList& list) {
    int32_t start, end;
    if (!FindBook(name, start, end)) return false;
    int32_t last = std::min<int32_t>(end, static_cast<int32_t>(lines_.size()) - 1);
    for (int32_t i = std::max(start, 0); i <= last; ++i) list.push_back(lines_[i]);
    return true;
}

bool TVeltoFile::ImportBook(std::string_view name, TVeltoFile& source) {
    if (BookExists(name) || !source.BookExists(name)) return false;
    LineList book;
    bool copied = source.CopyBookLines(name, book);
    for (std::string_view line : book) lines_.push_back(line);
    RebuildIndex();
    return copied;
}

int32_t TVeltoFile::GetCommandCount(std::string_view book, std::string_view page) {
    int32_t start, end;
    if (!FindPage(book, page, start, end)) return 0;
    return std::max(end - start - 1, 0);
}

std::string TVeltoFile::GetCommandLine(std::string_view book, std::string_view page, int32_t n) {
    int32_t start, end;
    if (n < 0 || !FindPage(book, page, start, end)) return "";
    int64_t line = int64_t{start} + 1 + n;
    if (line >= end || line >= static_cast<int64_t>(lines_.size())) return "";
    return std::string(lines_[line]);
}

}  // namespace scenario
