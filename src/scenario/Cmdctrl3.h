// TCommandCtrl: the command cache of the current page. It scans the page's
// lines once, remembers where each command line stands with its nesting level
// inside if/else/endif, and then hands out one command at a time.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "scenario/Cmd_obj.h"
#include "scenario/Velto_file.h"

namespace scenario {

// Type codes of command lines, as the command handlers dispatch on them.
enum CommandType : int32_t {
    kCmdUnknown = 0,  // any other line beginning with "@"
    kCmdRem = 1,
    kCmdIf = 2,
    kCmdElse = 3,
    kCmdEndif = 4,
    kCmdMessageDraw = 5,
    kCmdGraphicDraw = 6,
    kCmdEffect = 7,
    kCmdMusic = 8,
    kCmdSound = 9,
    kCmdMusicStop = 10,
    kCmdValueCtrl = 11,
    kCmdStringCtrl = 12,
    kCmdLayerCtrl = 13,
    kCmdGraphicCtrl = 14,
    kCmdWait = 15,
    kCmdSelect = 16,
    kCmdMove = 17,
    kCmdCall = 18,
    kCmdReturn = 19,
    kCmdDynamicLayer = 20,
    kCmdDynamicLayerClear = 21,
    kCmdWindowShow = 22,
    kCmdStringInput = 23,
    kCmdSaveCtrl = 24,
    kCmdSystem = 25,
};

// "@Select" reads its items "Select.Text<n>" and "Select.Page<n>" for n from 1
// up to this.
inline constexpr int32_t kMaxSelectItems = 20;

class TCommandCtrl {
public:
    static constexpr int32_t kMaxCommands = 500;  // per page

    // The document, owned by the caller; set after construction.
    TVeltoFile* File = nullptr;

    const std::string& BookName() const { return bookName_; }
    const std::string& PageName() const { return pageName_; }
    // A different name (case-sensitive) makes the cache stale; the same one
    // keeps it.
    void SetBook(std::string_view name);
    void SetPage(std::string_view name);

    int32_t GetCount();
    // Fills `command`; false, leaving it untouched, when `index` is out of range.
    bool GetCommand(int32_t index, TVeltoCommand& command);
    // -1 when `index` is out of range.
    int32_t GetNestLevel(int32_t index);
    // Reports a missing document or a page with too many commands in a
    // message box; the cache then stays stale, and the result is false.
    bool Make_CommandCache();

    // The code of a command line compared whole and case-sensitively;
    // kCmdUnknown for any other text.
    static int32_t GetCommandType(std::string_view line);
    // The level of a command of type `type` at running depth `depth`, which
    // it moves on past an if or an endif.
    static int32_t NextNestLevel(int32_t type, int32_t& depth);

private:
    struct Entry {
        int32_t LineIndex;  // among the page's inner lines
        int32_t NestLevel;
    };

    void MakeCacheIfDirty() {
        if (cacheDirty_) Make_CommandCache();
    }

    std::string bookName_;
    std::string pageName_;
    bool cacheDirty_ = true;
    int32_t commandCount_ = 0;
    std::array<Entry, kMaxCommands> entries_{};
};

}  // namespace scenario
