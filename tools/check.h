// vp3tool check: what it finds and where, shared by its parts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/Velto_access.h"

namespace vp3tool {

enum class Severity { Error, Warning };

// Where a finding stands. Findings are listed by group - the package as a
// whole ("-"), its entries, then the pages - then by order (an entry's
// place in the directory, a page's start line) and index (a command of the
// page; -1 for the page itself).
struct Place {
    enum Group { kWhole, kEntry, kPage };
    Group group = kWhole;
    int64_t order = 0;
    int32_t index = -1;
    std::string name = "-";  // UTF-8

    // BOOK/PAGE#INDEX, or BOOK/PAGE for the page itself.
    static Place OfPage(const scenario::TPageBlock& page, int32_t index = -1);
    static Place OfEntry(const storage::LinkEntry& entry, int32_t index);
};

class Findings {
public:
    void Add(const Place& place, Severity severity, std::string text);
    bool HasErrors() const;
    // "PLACE: error|warning: TEXT", one a line in order, each once.
    void Print() const;

private:
    struct Finding {
        Place place;
        Severity severity;
        std::string text;
        size_t sequence;  // keeps findings at one place in the order they came
    };
    std::vector<Finding> list_;
};

// Checks every page of the document that the access object holds: its
// commands, where they lead and which pages nothing reaches. Findings are
// made only for pages starting before line `reportedLines` (the game's own,
// not those its library brought); the others still lead somewhere. Play
// begins at the pages of "_system" and, for a `game`, at its start page.
void CheckPages(storage::TVeltoAccessControl& access, int32_t reportedLines, bool game,
                Findings& findings);

}  // namespace vp3tool
