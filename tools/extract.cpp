// vp3tool extract: entries into a directory, and never anywhere else.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "names.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "vp3tool.h"

namespace vp3tool {
namespace {

// Writes the entry to its file below `directory`; nothing is left half written.
bool WriteEntryBelow(Package& package, int32_t index, const std::string& directory,
                     const std::string& relative) {
    platform::StagedFile staged(directory, relative);
    FILE* file = staged.File();
    if (!file) {
        package.ReportEntryError(
            index, std::string("cannot create the file: ") + std::strerror(staged.Error()));
        return false;
    }
    storage::LinkFileStream stream(file);
    if (!package.ReadEntry(index, &stream, [file] {
            return std::string(std::ferror(file) ? "cannot write the file"
                                                 : "cannot read the entry");
        })) {
        return false;
    }
    if (!staged.Commit()) {
        package.ReportEntryError(
            index, std::string("cannot write the file: ") + std::strerror(staged.Error()));
        return false;
    }
    return true;
}

bool ExtractEntry(Package& package, int32_t index, const std::string& directory) {
    std::string why;
    std::optional<std::string> path = ExtractionPath(package.Entry(index).name, &why);
    if (!path) {
        package.ReportEntryError(index, "unsafe name, not extracted: " + why);
        return false;
    }
    return WriteEntryBelow(package, index, directory, *path);
}

// The entries named on the command line (UTF-8, "/" or "\" between folders),
// or all of them. False when a name is not in the package.
bool SelectEntries(const Package& package, const Arguments& names, std::vector<int32_t>& indices) {
    if (names.empty()) {
        for (int32_t i = 0; i < package.Count(); ++i) indices.push_back(i);
        return true;
    }
    bool found = true;
    for (const std::string& name : names) {
        std::string entryName = name;
        std::replace(entryName.begin(), entryName.end(), '/', '\\');
        int32_t index = package.FindIndex(platform::Utf8ToCp932(entryName));
        if (index < 0) {
            ReportError(package.Path() + ": " + name, "no such entry");
            found = false;
        } else {
            indices.push_back(index);
        }
    }
    return found;
}

}  // namespace

int Extract(const Arguments& args) {
    if (args.size() < 2) return UsageError("extract needs a package and a directory");
    const std::string& directory = args[1];
    Package package;
    if (!package.Open(args[0])) return kExitBadInput;
    std::vector<int32_t> indices;
    bool sound = SelectEntries(package, Arguments(args.begin() + 2, args.end()), indices);

    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (!std::filesystem::is_directory(directory, error)) {
        ReportError(directory, "cannot create: " + (error ? error.message() : "not a directory"));
        return kExitBadInput;
    }
    for (int32_t index : indices) {
        sound = ExtractEntry(package, index, directory) && sound;
    }
    return sound ? kExitOk : kExitBadInput;
}

}  // namespace vp3tool
