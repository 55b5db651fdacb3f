// vp3tool check: the pages - every command read as the player reads it, what
// it names looked up where the player looks, and where play can go.
#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

#include "check.h"
#include "graphics/Scrnctrl.h"
#include "names.h"
#include "platform/encoding.h"
#include "scenario/Cmdctrl3.h"

namespace vp3tool {
namespace {

using scenario::TVariableCtrl;
using scenario::TVeltoCommand;

constexpr std::string_view kSystemBook = "_system";

std::string Quoted(std::string_view cp932) {
    return "\"" + PrintableText(cp932) + "\"";
}

// A name with a variable marker is only known while playing.
bool NamesVariable(std::string_view name) {
    return name.find_first_of("%$") != std::string_view::npos;
}

bool IsValidText(const TVeltoCommand& command) {
    return platform::IsValidCp932(command.Line) &&
           std::all_of(command.Params.begin(), command.Params.end(), platform::IsValidCp932);
}

// What a picture the scenario names turned out to be.
struct Picture {
    bool found = false;
    bool readable = false;
    int32_t width = 0;
    int32_t height = 0;
};

struct OpenIf {
    Place place;
    bool hasElse;
};

class PageChecker {
public:
    PageChecker(storage::TVeltoAccessControl& access, Findings& findings)
        : access_(access),
          document_(access.Document()),
          findings_(findings),
          pages_(document_.GetPageList()),
          targets_(pages_.size()),
          screen_(graphics::TScreenControl::ScreenSize(document_, 0)),
          layers_(graphics::TScreenControl::GameScreenLayerNames(access.Layers())) {
        for (size_t id = 0; id < pages_.size(); ++id) pageAt_.emplace(pages_[id].Start, id);
    }

    void Run(int32_t reportedLines, bool game) {
        covered_.assign(document_.Lines().size(), false);
        std::vector<size_t> starts = game ? GameStart() : std::vector<size_t>();
        for (size_t id = 0; id < pages_.size(); ++id) {
            if (pages_[id].Book == kSystemBook && IsPlayed(id)) starts.push_back(id);
        }
        for (size_t id = 0; id < pages_.size(); ++id) {
            reporting_ = pages_[id].Start < reportedLines;
            if (IsPlayed(id)) CheckPage(id);
        }
        reporting_ = true;
        CheckReads();
        CheckReachable(starts, reportedLines);
        // The library's lines do not stand where they stood in its own file.
        if (game) CheckLinesOutsideCommands(reportedLines);
    }

private:
    void Report(const Place& place, Severity severity, std::string text) {
        if (reporting_) findings_.Add(place, severity, std::move(text));
    }

    // The start page, and the opening picture shown before it.
    std::vector<size_t> GameStart() {
        std::string opening = document_.GetValue("Velto", "Opening", "Default");
        if (opening != "Default") CheckPicture(Place(), opening);
        scenario::TCommandCtrl& commands = access_.Commands();
        std::string book = commands.BookName(), page = commands.PageName();
        if (auto start = FindPage(book, page)) return {*start};
        Report(Place(), Severity::Error, "start page " + Quoted(book + "/" + page) + " is no page");
        return {};
    }

    // The page of that name the player finds, which is the first.
    std::optional<size_t> FindPage(const std::string& book, const std::string& page) {
        int32_t start, end;
        if (!document_.FindPage(book, page, start, end)) return std::nullopt;
        auto found = pageAt_.find(start);
        if (found == pageAt_.end()) return std::nullopt;
        return found->second;
    }

    bool IsPlayed(size_t id) { return FindPage(pages_[id].Book, pages_[id].Page) == id; }

    void CheckPage(size_t id) {
        const scenario::TPageBlock& page = pages_[id];
        current_ = id;
        scenario::TCommandCtrl& commands = access_.Commands();
        commands.SetBook(page.Book);
        commands.SetPage(page.Page);
        if (!commands.Make_CommandCache()) {
            Report(Place::OfPage(page, scenario::TCommandCtrl::kMaxCommands), Severity::Error,
                   "more than " + std::to_string(scenario::TCommandCtrl::kMaxCommands) +
                       " commands on the page: it never plays");
            return;
        }
        // A command's lines run from after the previous command line to its own.
        size_t line = static_cast<size_t>(page.Start) + 1;
        for (int32_t index = 0; index < commands.GetCount(); ++index) {
            TVeltoCommand command;
            commands.GetCommand(index, command);
            Place place = Place::OfPage(page, index);
            CheckCommand(place, command);
            if (!IsValidText(command)) {
                Report(place, Severity::Warning, "text that is not valid CP932");
            }
            size_t end = std::min(line + command.Params.size() + 1, covered_.size());
            std::fill(covered_.begin() + std::min(line, end), covered_.begin() + end, true);
            line = end;
        }
        for (const OpenIf& open : openIfs_) {
            Report(open.place, Severity::Error, "@if without @endif");
        }
        openIfs_.clear();
    }

    void CheckCommand(const Place& place, const TVeltoCommand& command) {
        using namespace scenario;
        switch (command.Type) {
            case kCmdUnknown:
            case kCmdSaveCtrl:
                // As written: with spaces around it, a known name is unknown too.
                return Report(place, Severity::Error, "unknown command " + Quoted(command.Line));
            case kCmdIf:
                CheckNesting(place, command.Type);
                return CheckCondition(place, command);
            case kCmdElse:
            case kCmdEndif:
                return CheckNesting(place, command.Type);
            case kCmdMessageDraw:
                CheckLayer(place, command.GetString("MessageDraw.Layer", graphics::kTextLayerName));
                return ReadsText(place, command.GetString("MessageDraw.Text", ""));
            case kCmdGraphicDraw:
                CheckLayer(place,
                           command.GetString("GraphicDraw.Layer", graphics::kBackgroundLayerName));
                return CheckPicture(place, command.GetString("GraphicDraw.FileName", ""));
            case kCmdMusic:
                return CheckSound(place, command.GetString("Music.FileName", ""));
            case kCmdSound:
                return CheckSound(place, command.GetString("Sound.FileName", ""));
            case kCmdValueCtrl:
                Sets(command.GetString("ValueCtrl.ValueVar", ""), '%');
                ReadsOperand(place, command.GetString("ValueCtrl.LeftValue", ""));
                return ReadsOperand(place, command.GetString("ValueCtrl.RightValue", ""));
            case kCmdStringCtrl:
                Sets(command.GetString("StringCtrl.StringVar", ""), '$');
                return ReadsText(place, command.GetString("StringCtrl.Text", ""));
            case kCmdStringInput:
                return Sets(command.GetString("StringInput.StringVar", ""), '$');
            case kCmdLayerCtrl:
                return CheckLayerCtrl(place, command);
            case kCmdSelect:
                return CheckSelect(place, command);
            case kCmdMove:
                return LeadsTo(place, command.GetString("Move.BookName", ""),
                               command.GetString("Move.PageName", ""), "jump");
            case kCmdCall:
                return LeadsTo(place, command.GetString("Call.BookName", ""),
                               command.GetString("Call.PageName", ""), "call");
            case kCmdDynamicLayer:
                return CheckDynamicLayer(place, command);
            default:
                return;
        }
    }

    // Matched as the player nests them: an "@else" or "@endif" belongs to
    // the nearest "@if" still open.
    void CheckNesting(const Place& place, int32_t type) {
        if (type == scenario::kCmdIf) return openIfs_.push_back({place, false});
        std::string name = type == scenario::kCmdElse ? "@else" : "@endif";
        if (openIfs_.empty()) return Report(place, Severity::Error, name + " without @if");
        if (type == scenario::kCmdEndif) return openIfs_.pop_back();
        if (openIfs_.back().hasElse) {
            return Report(place, Severity::Error,
                          "second @else for the @if at " + openIfs_.back().place.name);
        }
        openIfs_.back().hasElse = true;
    }

    void CheckCondition(const Place& place, const TVeltoCommand& command) {
        bool numbers = command.GetString("if.VariableType", "Value") == "Value";
        for (std::string_view key : {"if.Variable1", "if.Variable2"}) {
            std::string operand = command.GetString(key, "");
            numbers ? ReadsOperand(place, operand) : ReadsText(place, operand);
        }
    }

    void CheckLayerCtrl(const Place& place, const TVeltoCommand& command) {
        struct Change {
            std::string_view flag, first, second;
        };
        static constexpr Change kNumberChanges[] = {
            {"Layer.Pos.Change", "Layer.Pos.Left", "Layer.Pos.Top"},
            {"Layer.Size.Change", "Layer.Size.Width", "Layer.Size.Height"},
            {"Layer.ViewPos.Change", "Layer.ViewPos.Left", "Layer.ViewPos.Top"},
        };
        bool image = command.GetBool("Layer.Image.Change", false);
        // The layer is looked up only for a change.
        bool changes = image || command.GetBool("Layer.Visible.Change", false);
        for (const Change& change : kNumberChanges) {
            if (!command.GetBool(change.flag, false)) continue;
            changes = true;
            ReadsOperand(place, command.GetString(change.first, ""));
            ReadsOperand(place, command.GetString(change.second, ""));
        }
        if (changes) CheckLayer(place, command.GetString("Layer.Name", ""));
        std::string file = command.GetString("Layer.Image.FileName", "Clear");
        if (image && file != "Clear") CheckPicture(place, file);
    }

    void CheckSelect(const Place& place, const TVeltoCommand& command) {
        for (int32_t n = 1; n <= scenario::kMaxSelectItems; ++n) {
            std::string page = command.GetString("Select.Page" + std::to_string(n), "");
            if (page.empty()) break;
            std::string text = command.GetString("Select.Text" + std::to_string(n), "");
            // An item without text is never shown.
            if (text.empty()) continue;
            ReadsText(place, text);
            LeadsTo(place, pages_[current_].Book, page, "choice");
        }
    }

    void CheckDynamicLayer(const Place& place, const TVeltoCommand& command) {
        std::string type = command.GetString("DynamicLayer.Type", "Transparent");
        if (type == "Image") {
            // Only one cell of the picture shows at a time.
            CheckPicture(place, command.GetString("DynamicLayer.Image.FileName", ""),
                         command.GetInt("DynamicLayer.Image.AnimeCount", 1),
                         command.GetInt("DynamicLayer.Image.DivideCount", 1));
        } else if (type == "Text") {
            ReadsText(place, command.GetString("DynamicLayer.Text.Text", ""));
        }
        std::string mode = command.GetString("DynamicLayer.Clickable.Mode", "None");
        if (mode == "All" || mode == "Opaque") {
            LeadsTo(place, command.GetString("DynamicLayer.Clickable.BookName", ""),
                    command.GetString("DynamicLayer.Clickable.PageName", ""), "button");
        }
    }

    void LeadsTo(const Place& place, const std::string& book, const std::string& page,
                 std::string_view what) {
        if (auto target = FindPage(book, page)) return targets_[current_].push_back(*target);
        Report(place, Severity::Error,
               std::string(what) + " target " + Quoted(book + "/" + page) + " is no page");
    }

    void CheckLayer(const Place& place, const std::string& name) {
        if (std::find(layers_.begin(), layers_.end(), name) != layers_.end()) return;
        Report(place, Severity::Error, "layer " + Quoted(name) + " is not in the layer list");
    }

    const Picture& PictureNamed(const std::string& name) {
        auto [entry, added] = pictures_.try_emplace(name);
        Picture& picture = entry->second;
        if (added) {
            picture.found = access_.HasImage(name);
            graphics::TLasGraphic graphic;
            picture.readable = picture.found && access_.LoadImage(name, graphic);
            picture.width = graphic.Width();
            picture.height = graphic.Height();
        }
        return picture;
    }

    // A picture shown on the game screen, `frames` x `rows` cells of it at a time.
    void CheckPicture(const Place& place, const std::string& name, int32_t frames = 1,
                      int32_t rows = 1) {
        if (!reporting_ || NamesVariable(name)) return;
        const Picture& picture = PictureNamed(name);
        if (!picture.found) {
            return Report(place, Severity::Error, "picture " + Quoted(name) + " not found");
        }
        if (!picture.readable) {
            return Report(place, Severity::Error, "picture " + Quoted(name) + " cannot be read");
        }
        int32_t width = picture.width / std::max(frames, 1);
        int32_t height = picture.height / std::max(rows, 1);
        auto [screenWidth, screenHeight] = screen_;
        if (width <= screenWidth && height <= screenHeight) return;
        Report(place, Severity::Warning,
               "picture " + Quoted(name) + " shows " + std::to_string(width) + " x " +
                   std::to_string(height) + ", larger than the screen's " +
                   std::to_string(screenWidth) + " x " + std::to_string(screenHeight));
    }

    // Music and sounds play from disk only: the data directory, where
    // opening the game may put them, or beside the package.
    void CheckSound(const Place& place, const std::string& name) {
        if (!reporting_ || NamesVariable(name)) return;
        if (access_.FindGameFile(name) || access_.ExtractsEntry(name)) return;
        Report(place, Severity::Error, "sound " + Quoted(name) + " not found");
    }

    void Sets(std::string_view target, char marker) {
        if (auto name = TVariableCtrl::TargetName(target, marker)) {
            set_[marker == '%'].emplace(*name);
        }
    }

    // Each variable is looked up once every command has been seen, and
    // reported where it is first read.
    void Reads(const Place& place, char marker, std::string_view name) {
        // Names beginning with "@" are the player's own, always there.
        if (reporting_ && !name.starts_with('@')) {
            firstReads_.try_emplace({marker, std::string(name)}, place);
        }
    }

    void ReadsOperand(const Place& place, std::string_view operand) {
        if (auto name = TVariableCtrl::OperandName(operand)) Reads(place, '%', *name);
    }

    void ReadsText(const Place& place, std::string_view text) {
        TVariableCtrl::ForEachTextReference(
            text, [&](char marker, std::string_view name) { Reads(place, marker, name); });
    }

    void CheckReads() {
        TVariableCtrl& variables = access_.Variables();
        for (const auto& [variable, place] : firstReads_) {
            const auto& [marker, name] = variable;
            bool number = marker == '%';
            if (set_[number].count(name) != 0) continue;
            if (number ? variables.HasValueVar(name) : variables.HasStringVar(name)) continue;
            Report(place, Severity::Warning,
                   std::string("variable ") + marker + PrintableText(name) + marker +
                       " is read but never declared or set");
        }
    }

    void CheckReachable(std::vector<size_t> pending, int32_t reportedLines) {
        std::vector<bool> reached(pages_.size(), false);
        while (!pending.empty()) {
            size_t id = pending.back();
            pending.pop_back();
            if (reached[id]) continue;
            reached[id] = true;
            pending.insert(pending.end(), targets_[id].begin(), targets_[id].end());
        }
        for (size_t id = 0; id < pages_.size(); ++id) {
            if (reached[id] || pages_[id].Start >= reportedLines) continue;
            Report(Place::OfPage(pages_[id]), Severity::Warning,
                   IsPlayed(id) ? "nothing leads here from the start page, the system "
                                  "library's pages or a button"
                                : "never played: an earlier page has the same name");
        }
    }

    void CheckLinesOutsideCommands(int32_t reportedLines) {
        const scenario::LineList& lines = document_.Lines();
        for (int32_t line = 0; line < reportedLines; ++line) {
            if (covered_[line] || platform::IsValidCp932(lines[line])) continue;
            Report(Place(), Severity::Warning,
                   "line " + std::to_string(line + 1) + ": text that is not valid CP932");
        }
    }

    storage::TVeltoAccessControl& access_;
    scenario::TVeltoFile& document_;
    Findings& findings_;
    const std::vector<scenario::TPageBlock> pages_;
    std::unordered_map<int32_t, size_t> pageAt_;  // by start line
    std::vector<std::vector<size_t>> targets_;    // by page: where its commands lead
    const std::pair<int32_t, int32_t> screen_;
    const scenario::StringList layers_;
    bool reporting_ = true;
    size_t current_ = 0;
    std::vector<OpenIf> openIfs_;
    std::vector<bool> covered_;  // lines that belong to a command
    std::map<std::string, Picture> pictures_;
    std::array<std::set<std::string>, 2> set_;  // string, numeric variables commands set
    std::map<std::pair<char, std::string>, Place> firstReads_;  // by marker and name
};

}  // namespace

void CheckPages(storage::TVeltoAccessControl& access, int32_t reportedLines, bool game,
                Findings& findings) {
    PageChecker(access, findings).Run(reportedLines, game);
}

}  // namespace vp3tool
