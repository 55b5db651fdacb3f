// vp3tool extract: entries into a directory, and never anywhere else.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "names.h"
#include "platform/encoding.h"
#include "vp3tool.h"

namespace vp3tool {
namespace {

// Opens (making it as needed) the folder `folders` below `rootFd`, one level at
// a time and never through a symbolic link, so nothing already in DIR can lead
// out of it. -1 with errno set on failure.
int OpenFolderBelow(int rootFd, const std::vector<std::string>& folders) {
    int fd = dup(rootFd);
    for (const std::string& folder : folders) {
        if (fd < 0) break;
        if (mkdirat(fd, folder.c_str(), 0777) != 0 && errno != EEXIST) {
            close(fd);
            return -1;
        }
        int next = openat(fd, folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int saved = errno;
        close(fd);
        errno = saved;
        fd = next;
    }
    return fd;
}

// Writes the entry to its file below `rootFd`; a file left half written is removed.
bool WriteEntryBelow(Package& package, int32_t index, int rootFd, std::vector<std::string> path) {
    std::string fileName = path.back();
    path.pop_back();
    int folderFd = OpenFolderBelow(rootFd, path);
    int fd = folderFd < 0 ? -1
                          : openat(folderFd, fileName.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (!file) {
        package.ReportEntryError(index, std::string("cannot create the file: ") + strerror(errno));
        if (fd >= 0) close(fd);
        if (folderFd >= 0) close(folderFd);
        return false;
    }
    storage::LinkFileStream stream(file);
    bool written = package.ReadEntry(index, &stream, [file] {
        return std::string(std::ferror(file) ? "cannot write the file" : "cannot read the entry");
    });
    if (std::fclose(file) != 0 && written) {
        package.ReportEntryError(index, std::string("cannot write the file: ") + strerror(errno));
        written = false;
    }
    if (!written) unlinkat(folderFd, fileName.c_str(), 0);
    close(folderFd);
    return written;
}

bool ExtractEntry(Package& package, int32_t index, int rootFd) {
    std::string why;
    std::optional<std::vector<std::string>> path = ExtractionPath(package.Entry(index).name, &why);
    if (!path) {
        package.ReportEntryError(index, "unsafe name, not extracted: " + why);
        return false;
    }
    return WriteEntryBelow(package, index, rootFd, std::move(*path));
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
    int rootFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) {
        ReportError(directory, "cannot create or open: " +
                                   (error ? error.message() : std::string(strerror(errno))));
        return kExitBadInput;
    }
    for (int32_t index : indices) {
        sound = ExtractEntry(package, index, rootFd) && sound;
    }
    close(rootFd);
    return sound ? kExitOk : kExitBadInput;
}

}  // namespace vp3tool
