// vp3tool check: a game read the way the player reads it, and its faults
// listed without playing it.
#include "check.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <tuple>
#include <utility>

#include "names.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "vp3tool.h"

namespace vp3tool {
namespace {

struct CheckOptions {
    std::string package;
    std::string library;
};

int ParseOptions(const Arguments& args, CheckOptions& options) {
    // Where the player looks for it: beside itself, then where it is installed.
    options.library = platform::FindProgramFile("veltort3.vlb");
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--library") {
            if (++i == args.size()) return UsageError("check: --library needs a file");
            options.library = args[i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return UsageError("check: unknown option " + args[i]);
        } else if (options.package.empty()) {
            options.package = args[i];
        } else {
            return UsageError("check takes one package");
        }
    }
    if (options.package.empty()) return UsageError("check needs a package");
    return kExitOk;
}

// A message box's text (CP932) as one line of UTF-8: each line break a space.
std::string OneLine(std::string_view text) {
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        bool crlf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if (!crlf) line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    return PrintableText(line);
}

// While it lives, the message boxes the player's code shows go to `take`,
// one line each, instead of to standard error.
class BoxesTaken {
public:
    explicit BoxesTaken(std::function<void(std::string)> take) {
        previous_ =
            std::exchange(Platform().Boxes().onShow,
                          [take](const platform::MessageRecord& box) { take(OneLine(box.text)); });
    }
    ~BoxesTaken() {
        Platform().Boxes().onShow = std::move(previous_);
        Platform().Boxes().Clear();
    }
    BoxesTaken(const BoxesTaken&) = delete;
    BoxesTaken& operator=(const BoxesTaken&) = delete;

private:
    std::function<void(const platform::MessageRecord&)> previous_;
};

// What the player reports while it reads, as errors of the package.
auto ErrorsOfPackage(Findings& findings, std::string prefix = "") {
    return [&findings, prefix](std::string text) {
        findings.Add(Place(), Severity::Error, prefix + text);
    };
}

void CheckEntries(const storage::LinkReader& archive, Findings& findings) {
    for (int32_t i = 0; i < archive.count; ++i) {
        const storage::LinkEntry& entry = *storage::Link_GetEntry(&archive, i);
        if (IsCompressedPicture(entry)) {
            findings.Add(Place::OfEntry(entry, i), Severity::Error,
                         "PNG picture stored compressed: the player reads pictures only as "
                         "they are stored");
        }
    }
}

void CheckFileType(storage::TVeltoAccessControl& access, Findings& findings) {
    scenario::TVeltoFile& document = access.Document();
    if (!access.HasGameFileType()) {
        findings.Add(Place(), Severity::Error,
                     document.HasKey("Velto", "FileType")
                         ? "FileType is \"" +
                               PrintableText(document.GetValue("Velto", "FileType", "")) +
                               "\", not \"OV3\""
                         : "no FileType in the header block \"Velto\"");
    }
    if (!access.HasKnownCommandVersion()) {
        findings.Add(Place(), Severity::Error,
                     "CommandVersion " +
                         PrintableText(document.GetValue("Velto", "CommandVersion", "")) +
                         " is newer than " +
                         std::to_string(storage::TVeltoAccessControl::kNewestCommandVersion) +
                         ", the newest the player plays");
    }
}

// The system library: for a game, its book "_system" joins the game's pages;
// checked `alone`, that book is all there is.
void ReadLibrary(storage::TVeltoAccessControl& access, const std::string& path, bool alone,
                 Findings& findings) {
    BoxesTaken reports(ErrorsOfPackage(findings, alone ? "" : "system library: "));
    if (alone ? access.InspectLibrary(path) : access.OpenLibrary(path)) return;
    findings.Add(Place(), Severity::Error,
                 platform::FileExists(path)
                     ? path + " is no system library holding \"system.vf3\""
                     : "no system library at " + path + " (--library names one)");
}

// The library's book "_system" joins the game's pages. False when that
// leaves the document damaged: a block the game leaves open at its end takes
// in the book.
bool JoinLibrary(storage::TVeltoAccessControl& access, const std::string& path,
                 Findings& findings) {
    ReadLibrary(access, path, false, findings);
    if (access.Document().DamagedLine() < 0) return true;
    findings.Add(Place(), Severity::Error,
                 "the scenario ends inside a block, which takes in the system library's book: "
                 "the scenario is damaged, so its pages are not checked");
    return false;
}

// The game as the player opens it. False when what was read cannot be
// checked further.
bool ReadGame(storage::TVeltoAccessControl& access, const std::string& path, Findings& findings) {
    {
        BoxesTaken reports(ErrorsOfPackage(findings));
        if (!access.Inspect(path)) return false;
    }
    scenario::TVeltoFile& document = access.Document();
    // A damaged document reports itself again at every lookup.
    BoxesTaken repeatedReports([](std::string) {});
    bool damaged = document.DamagedLine() >= 0;
    if (damaged) {
        findings.Add(Place(), Severity::Error,
                     "the scenario is damaged at line " +
                         std::to_string(int64_t{document.DamagedLine()} + 1) +
                         ", so its pages are not checked");
    }
    CheckFileType(access, findings);
    CheckEntries(access.Package(), findings);
    return !damaged;
}

}  // namespace

Place Place::OfPage(const scenario::TPageBlock& page, int32_t index) {
    std::string name = PrintableText(page.Book + "/" + page.Page);
    if (index >= 0) name += "#" + std::to_string(index);
    return {kPage, page.Start, index, name};
}

Place Place::OfEntry(const storage::LinkEntry& entry, int32_t index) {
    return {kEntry, index, -1, DisplayName(entry.name)};
}

void Findings::Add(const Place& place, Severity severity, std::string text) {
    list_.push_back({place, severity, std::move(text), list_.size()});
}

bool Findings::HasErrors() const {
    return std::any_of(list_.begin(), list_.end(),
                       [](const Finding& finding) { return finding.severity == Severity::Error; });
}

void Findings::Print() const {
    std::vector<const Finding*> sorted;
    for (const Finding& finding : list_) sorted.push_back(&finding);
    std::sort(sorted.begin(), sorted.end(), [](const Finding* a, const Finding* b) {
        return std::tie(a->place.group, a->place.order, a->place.index, a->sequence) <
               std::tie(b->place.group, b->place.order, b->place.index, b->sequence);
    });
    std::set<std::string> printed;
    for (const Finding* finding : sorted) {
        std::string line = finding->place.name +
                           (finding->severity == Severity::Error ? ": error: " : ": warning: ") +
                           finding->text;
        if (printed.insert(line).second) std::printf("%s\n", line.c_str());
    }
}

int Check(const Arguments& args) {
    CheckOptions options;
    if (int status = ParseOptions(args, options); status != kExitOk) return status;
    if (!platform::FileExists(options.package)) {
        ReportError(options.package, "no such file");
        return kExitBadInput;
    }
    Findings findings;
    storage::TVeltoAccessControl access;
    // A library is checked as the player reads it for every game.
    const bool isLibrary = storage::Link_HasId(options.package.c_str(), "OV3LIB");
    bool checkable = true;
    if (isLibrary) {
        ReadLibrary(access, options.package, true, findings);
        CheckEntries(access.Library(), findings);
    } else {
        checkable = ReadGame(access, options.package, findings);
    }
    // The library's own pages, brought into a game, are checked with the library.
    auto reportedLines = static_cast<int32_t>(access.Document().Lines().size());
    if (checkable && !isLibrary) checkable = JoinLibrary(access, options.library, findings);
    if (checkable) {
        BoxesTaken quiet([](std::string) {});
        CheckPages(access, reportedLines, !isLibrary, findings);
    }
    findings.Print();
    return findings.HasErrors() ? kExitBadInput : kExitOk;
}

}  // namespace vp3tool
