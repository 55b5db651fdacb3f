#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>

#include "platform/ascii.h"
#include "platform/cp932.h"
#include "platform/encoding.h"

namespace platform {

std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::string bytes;
    // A file known to be too large is refused before a byte is read.
    struct stat info;
    if (::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode)) {
        if (static_cast<uint64_t>(info.st_size) > maxBytes) {
            std::fclose(file);
            return std::nullopt;
        }
        bytes.reserve(static_cast<size_t>(info.st_size));
    }
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (bytes.size() + got > maxBytes) {
            std::fclose(file);
            return std::nullopt;
        }
        bytes.append(buffer, got);
    }
    bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) return std::nullopt;
    return bytes;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    // mkstemp makes the file private; a settings file should look like any other.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temp.c_str());
    return ok;
}

bool FileExists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ExecutablePath() {
    char buffer[4096];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

bool DirectoryExists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool CreateParentDirectories(const std::string& base, const std::string& relative) {
    for (size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
        std::string folder = base + relative.substr(0, slash);
        if (!DirectoryExists(folder) && !CreateDirectory(folder)) return false;
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ReplaceExtension(const std::string& path, std::string_view extension) {
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string result = hasExtension ? path.substr(0, dot) : path;
    return result.append(extension);
}

namespace {

std::optional<std::string> Refuse(UnsafePath reason, UnsafePath* why) {
    if (why) *why = reason;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> SafeRelativePath(std::string_view cp932Name, UnsafePath* why) {
    if (cp932Name.empty()) return Refuse(UnsafePath::Empty, why);
    if (cp932Name[0] == '\\' || cp932Name[0] == '/') return Refuse(UnsafePath::Absolute, why);
    if (cp932Name.size() >= 2 && cp932Name[1] == ':') return Refuse(UnsafePath::DriveLetter, why);
    std::string relative;
    size_t start = 0;
    while (start <= cp932Name.size()) {
        // A folder ends at a "\" or "/" that begins a character: a kanji
        // ending in 0x5C does not split a name.
        size_t end = start;
        while (end < cp932Name.size() && cp932Name[end] != '\\' && cp932Name[end] != '/') {
            end += Cp932PathCharLength(cp932Name.substr(end));
        }
        std::string_view part = cp932Name.substr(start, end - start);
        if (part == "..") return Refuse(UnsafePath::ParentFolder, why);
        if (!part.empty() && part != ".") {
            if (!relative.empty()) relative += '/';
            relative += Cp932ToUtf8(part);
        }
        start = end + 1;
    }
    if (relative.empty()) return Refuse(UnsafePath::Empty, why);
    return relative;
}

namespace {

std::optional<std::string> FindEntryIgnoringCase(const std::string& directory,
                                                 std::string_view name) {
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (dirent* entry = ::readdir(dir)) {
        if (EqualIgnoringAsciiCase(entry->d_name, name)) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

std::optional<std::string> FindFile(const std::string& base, const std::string& relative) {
    if (FileExists(base + relative)) return base + relative;
    std::string path = base;
    size_t start = 0;
    while (start < relative.size()) {
        size_t end = std::min(relative.find('/', start), relative.size());
        auto found =
            FindEntryIgnoringCase(path, std::string_view(relative).substr(start, end - start));
        if (!found) return std::nullopt;
        path += *found;
        if (end < relative.size()) path += '/';
        start = end + 1;
    }
    if (!FileExists(path)) return std::nullopt;
    return path;
}

}  // namespace platform
