#include "scenario/Cmdctrl3.h"

#include <algorithm>
#include <iterator>

#include "platform/dialogs.h"

namespace scenario {
namespace {

constexpr std::string_view kNoDocumentMessage =
    "Error : Make_CommandCache()\nCan't access \"VeltoFile\"";
// "１ページあたりのコマンド数が多すぎます"
constexpr std::string_view kTooManyCommandsMessage =
    "\x82P\x83y\x81[\x83W\x82\xA0\x82\xBD\x82\xE8\x82\xCC\x83R\x83}\x83\x93\x83h\x90\x94\x82\xAA"
    "\x91\xBD\x82\xB7\x82\xAC\x82\xDC\x82\xB7";

// Command lines by type code; code 0 has no line of its own.
constexpr std::string_view kCommandLines[] = {
    "",
    "@rem",
    "@if",
    "@else",
    "@endif",
    "@MessageDraw",
    "@GraphicDraw",
    "@Effect",
    "@Music",
    "@Sound",
    "@MusicStop",
    "@ValueCtrl",
    "@StringCtrl",
    "@LayerCtrl",
    "@GraphicCtrl",
    "@Wait",
    "@Select",
    "@Move",
    "@Call",
    "@Return",
    "@DynamicLayer",
    "@DynamicLayerClear",
    "@WindowShow",
    "@StringInput",
    "@SaveCtrl",
    "@System",
};
static_assert(std::size(kCommandLines) == kCmdSystem + 1);

void ReportError(std::string_view text) {
    platform::ShowMessage(platform::MessageKind::Error, platform::MessageButtons::Ok, text);
}

// The inner lines of a page (those between its start and end lines), read
// straight from the document after one page lookup. A line past the page or
// past the document reads as "", so a stale position never reads out of bounds.
class PageLines {
public:
    PageLines(TVeltoFile& file, std::string_view book, std::string_view page)
        : lines_(file.Lines()) {
        if (file.FindPage(book, page, start_, end_)) count_ = std::max(end_ - start_ - 1, 0);
    }

    int32_t Count() const { return count_; }

    std::string_view operator[](int32_t n) const {
        int64_t line = int64_t{start_} + 1 + n;
        if (n < 0 || line < 0 || line >= end_ || line >= static_cast<int64_t>(lines_.size())) {
            return {};
        }
        return lines_[line];
    }

private:
    const LineList& lines_;
    int32_t start_ = 0;
    int32_t end_ = 0;
    int32_t count_ = 0;
};

}  // namespace

void TCommandCtrl::SetBook(std::string_view name) {
    if (name == bookName_) return;
    bookName_ = name;
    cacheDirty_ = true;
}

void TCommandCtrl::SetPage(std::string_view name) {
    if (name == pageName_) return;
    pageName_ = name;
    cacheDirty_ = true;
}

int32_t TCommandCtrl::GetCount() {
    MakeCacheIfDirty();
    return commandCount_;
}

bool TCommandCtrl::GetCommand(int32_t index, TVeltoCommand& command) {
    MakeCacheIfDirty();
    // Without a document there is nothing to read, whatever an earlier cache held.
    if (!File || index < 0 || index >= commandCount_) return false;
    int32_t first = index == 0 ? 0 : entries_[index - 1].LineIndex + 1;
    int32_t last = entries_[index].LineIndex;
    PageLines page(*File, bookName_, pageName_);
    // The type comes from the line as written: " @Move " is a command but not a move.
    command.Line = page[last];
    command.Type = GetCommandType(command.Line);
    command.NestLevel = entries_[index].NestLevel;
    command.Params.clear();
    command.Params.reserve(last - first);
    for (int32_t n = first; n < last; ++n) command.Params.push_back(page[n]);
    return true;
}

int32_t TCommandCtrl::GetNestLevel(int32_t index) {
    MakeCacheIfDirty();
    if (index < 0 || index >= commandCount_) return -1;
    return entries_[index].NestLevel;
}

bool TCommandCtrl::Make_CommandCache() {
    if (!File) return ReportError(kNoDocumentMessage), false;
    PageLines page(*File, bookName_, pageName_);
    int32_t count = 0;
    int32_t depth = 0;
    for (int32_t n = 0; n < page.Count(); ++n) {
        // Checked before the line is looked at: a page may hold a full set of
        // commands only when nothing at all follows the last one.
        if (count >= kMaxCommands) return ReportError(kTooManyCommandsMessage), false;
        std::string_view line = Trim(page[n]);
        if (line.empty() || line[0] != '@') continue;
        entries_[count++] = {n, NextNestLevel(GetCommandType(line), depth)};
    }
    commandCount_ = count;
    cacheDirty_ = false;
    return true;
}

int32_t TCommandCtrl::GetCommandType(std::string_view line) {
    if (line.empty() || line[0] != '@') return kCmdUnknown;
    for (int32_t code = kCmdRem; code <= kCmdSystem; ++code) {
        if (line == kCommandLines[code]) return code;
    }
    return kCmdUnknown;
}

int32_t TCommandCtrl::NextNestLevel(int32_t type, int32_t& depth) {
    switch (type) {
        case kCmdIf:
            return depth++;
        case kCmdElse:
            return depth - 1;
        case kCmdEndif:
            return --depth;
        default:
            return depth;
    }
}

}  // namespace scenario
