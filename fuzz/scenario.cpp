// Feeds arbitrary bytes to the scenario document as its text and drives every
// lookup, settings writes and the command cache of every page over it. Bytes
// after the first NUL (where the document text ends) are NUL-separated
// block/key/value triples for SetValue. Besides crashes it checks that the
// command cache agrees with the page's lines, that a written setting reads
// back, and that an index kept up to date through inserts equals a fresh one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quiet_boxes.h"
#include "scenario/Cmd_obj.h"
#include "scenario/Cmdctrl3.h"
#include "scenario/Text_util.h"
#include "scenario/Velto_file.h"

using scenario::LineList;
using scenario::StringList;
using scenario::TCommandCtrl;
using scenario::TVeltoCommand;
using scenario::TVeltoFile;

namespace {

// Bounds per input, so one run stays well inside the fuzzer's time limit even
// for a damaged document that is re-indexed on every lookup.
constexpr size_t kMaxBlocks = 48;
constexpr size_t kMaxNames = 8;
constexpr size_t kMaxWrites = 16;
constexpr int32_t kMaxKeysPerHead = 24;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

struct Block {
    enum Kind { Head, Book, Page } kind;
    std::string name;  // head or book name
    std::string page;
};

// Index entries are "NAME/:S,E", "NAME:S,E" or "BOOK/PAGE:S,E".
std::vector<Block> BlocksOf(const TVeltoFile& doc) {
    std::vector<Block> blocks;
    for (const std::string& entry : doc.Index()) {
        if (blocks.size() == kMaxBlocks) break;
        std::string_view name = std::string_view(entry).substr(0, entry.rfind(':'));
        size_t slash = name.find('/');
        if (!name.empty() && name.back() == '/') {
            blocks.push_back({Block::Head, std::string(name.substr(0, name.size() - 1)), ""});
        } else if (slash != std::string_view::npos) {
            blocks.push_back({Block::Page, std::string(name.substr(0, slash)),
                              std::string(name.substr(slash + 1))});
        } else {
            blocks.push_back({Block::Book, std::string(name), ""});
        }
    }
    return blocks;
}

StringList SplitAtNul(std::string_view text) {
    StringList fields;
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t nul = std::min(text.find('\0', begin), text.size());
        fields.emplace_back(text.substr(begin, nul - begin));
        begin = nul + 1;
    }
    return fields;
}

std::string_view KeyOf(std::string_view line) {
    return line.substr(0, line.find('='));
}

bool StartsWithKey(std::string_view line, std::string_view key) {
    return line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == '=';
}

// Every key of a header block reads as its first line with that key.
void CheckHead(TVeltoFile& doc, const std::string& name) {
    int32_t start = 0, end = 0;
    if (!doc.FindHead(name, start, end)) return;
    const LineList& lines = doc.Lines();
    int32_t last = std::min<int32_t>(end, static_cast<int32_t>(lines.size()));
    int32_t checked = 0;
    for (int32_t i = start + 1; i < last && checked < kMaxKeysPerHead; ++i) {
        if (lines[i].find('=') == std::string_view::npos) continue;
        std::string key(KeyOf(lines[i]));
        int32_t first = start + 1;
        while (!StartsWithKey(lines[first], key)) ++first;
        Check(doc.GetValue(name, key, "") == lines[first].substr(key.size() + 1));
        doc.GetInt(name, key, -1);
        doc.GetBool(name, key, true);
        ++checked;
    }
    doc.GetValue(name, "", "");
}

// Names with ":" or "/" make index entries ambiguous (the format forbids
// them); such books are only looked up, not checked.
bool PlainNames(const TVeltoFile& doc) {
    StringList index = doc.Index();
    return std::all_of(index.begin(), index.end(), [](const std::string& entry) {
        return std::count(entry.begin(), entry.end(), ':') == 1;
    });
}

void CheckBook(TVeltoFile& doc, TVeltoFile& other, const std::string& name, bool plainNames) {
    bool clean = plainNames && name.find_first_of(":/") == std::string::npos;
    int32_t start = 0, end = 0;
    bool found = doc.FindBook(name, start, end);
    Check(doc.BookExists(name) == found || !clean);
    LineList lines;
    Check(doc.CopyBookLines(name, lines) == found);
    if (found) Check(lines.size() == static_cast<size_t>(end - start + 1));
    bool existed = other.BookExists(name);
    bool imported = other.ImportBook(name, doc);
    Check(imported == (found && !existed) || !clean);
    Check(!doc.ImportBook(name, other) || !found || !clean);
}

// The command cache of a page against the page's own lines.
void CheckPage(TVeltoFile& doc, TCommandCtrl& cache, const Block& page) {
    cache.SetBook(page.name);
    cache.SetPage(page.page);
    int32_t count = cache.GetCount();
    int32_t start = 0, end = 0;
    Check(doc.FindPage(page.name, page.page, start, end));
    const LineList& lines = doc.Lines();
    int32_t last = std::min<int32_t>(end, static_cast<int32_t>(lines.size()));
    int32_t commands = 0;
    bool overflow = false;
    for (int32_t i = start + 1; i < last; ++i) {
        if (commands == TCommandCtrl::kMaxCommands) overflow = true;
        std::string_view line = scenario::Trim(lines[i]);
        if (!line.empty() && line[0] == '@') ++commands;
    }
    if (!overflow) Check(count == commands);

    TVeltoCommand command;
    size_t params = 0;
    for (int32_t i = 0; i < count; ++i) {
        Check(cache.GetCommand(i, command));
        Check(command.NestLevel == cache.GetNestLevel(i));
        Check(command.Type >= 0 && command.Type <= scenario::kCmdSystem);
        for (std::string_view param : command.Params) {
            std::string_view text = scenario::Trim(param);
            Check(overflow || text.empty() || text[0] != '@');
        }
        params += command.Params.size();
        if (!command.Params.empty()) {
            std::string key(KeyOf(command.Params[command.Params.size() - 1]));
            command.GetString(key, "");
            command.GetInt(key, 0);
            command.GetBool(key, false);
        }
    }
    if (!overflow) Check(params + count <= static_cast<size_t>(std::max(end - start - 1, 0)));
    Check(!cache.GetCommand(count, command));
    Check(!cache.GetCommand(-1, command));
    Check(cache.GetNestLevel(count) == -1);
}

void ReadEverything(TVeltoFile& doc, const StringList& names) {
    TVeltoFile other;
    TCommandCtrl cache;
    cache.File = &doc;
    // Index() shows a stale index as it stands; lookups would rebuild it.
    if (doc.IndexDirty()) doc.RebuildIndex();
    bool plainNames = PlainNames(doc);
    for (const Block& block : BlocksOf(doc)) {
        switch (block.kind) {
            case Block::Head:
                CheckHead(doc, block.name);
                break;
            case Block::Book:
                CheckBook(doc, other, block.name, plainNames);
                break;
            case Block::Page: {
                CheckPage(doc, cache, block);
                int32_t lines = doc.GetCommandCount(block.name, block.page);
                doc.GetCommandLine(block.name, block.page, lines);
                doc.GetCommandLine(block.name, block.page, -1);
                break;
            }
        }
    }
    StringList books;
    doc.GetBookList(books);
    int32_t start = 0, end = 0;
    for (const std::string& name : names) {
        doc.FindHead(name, start, end);
        doc.FindPage(name, name, start, end);
        doc.FindIndexEntry(name, start, end);
        CheckBook(doc, other, name, plainNames);
        doc.GetValue("Velto", name, "");
        doc.GetCommandCount(name, "");
    }
}

// Keys and values come from the input as they are, "=", "<" and line breaks
// included.
void WriteSettings(TVeltoFile& doc, const StringList& writes) {
    for (size_t i = 0; i + 2 < writes.size() && i / 3 < kMaxWrites; i += 3) {
        const std::string& block = writes[i];
        const std::string& key = writes[i + 1];
        doc.SetValue(block, key, writes[i + 2]);
        int32_t start = 0, end = 0;
        if (doc.FindHead(block, start, end)) {
            Check(doc.GetValue(block, key, writes[i + 2] + "x") == writes[i + 2]);
        }
        doc.SetInt(block, key, static_cast<int32_t>(i));
    }
}

// An index updated in place must equal one built afresh from the same lines.
void CheckIndexAgainstFresh(const TVeltoFile& doc) {
    if (doc.IndexDirty()) return;
    std::string text;
    for (std::string_view line : doc.Lines()) {
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return;
        text += line;
        text += '\n';
    }
    TVeltoFile fresh;
    fresh.LoadFromText(text);
    Check(fresh.Index() == doc.Index());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ClearMessageBoxes();

    std::string_view input(reinterpret_cast<const char*>(data), size);
    TVeltoFile doc;
    doc.LoadFromText(std::string(input));

    // Names for lookups that may miss: the first lines of the document as they are.
    StringList names;
    for (size_t i = 0; i < std::min(doc.Lines().size(), kMaxNames); ++i) {
        names.emplace_back(doc.Lines()[i]);
    }
    StringList writes;
    size_t nul = input.find('\0');
    if (nul != std::string_view::npos) {
        writes = SplitAtNul(input.substr(nul + 1));
    } else {
        // Without a tail, write each line back as a key of a block it names.
        for (const std::string& line : names) {
            writes.push_back(TVeltoFile::GetBlockName(line));
            writes.push_back(line);
            writes.push_back(line);
        }
    }

    ReadEverything(doc, names);
    TCommandCtrl kept;
    kept.File = &doc;
    std::vector<Block> blocks = BlocksOf(doc);
    auto page = std::find_if(blocks.begin(), blocks.end(),
                             [](const Block& b) { return b.kind == Block::Page; });
    if (page != blocks.end()) {
        kept.SetBook(page->name);
        kept.SetPage(page->page);
        kept.GetCount();
    }

    WriteSettings(doc, writes);
    CheckIndexAgainstFresh(doc);
    // The cache built before the writes reads within bounds however the page moved.
    TVeltoCommand command;
    for (int32_t i = 0; kept.GetCommand(i, command); ++i) command.GetString("A", "");
    ReadEverything(doc, names);

    TCommandCtrl unset;
    unset.GetCount();
    return 0;
}
