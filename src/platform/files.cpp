#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <utility>

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

// Staged files still to be removed should a signal end the process. The
// handler may only read them, so they live in plain static storage.
struct SignalSlot {
    volatile sig_atomic_t used;
    int folder;
    char name[32];
};
SignalSlot signalSlots[8];

int AddSignalSlot(int folder, const std::string& name) {
    for (int i = 0; i < static_cast<int>(std::size(signalSlots)); ++i) {
        SignalSlot& slot = signalSlots[i];
        if (slot.used || name.size() >= sizeof slot.name) continue;
        slot.folder = folder;
        std::memcpy(slot.name, name.c_str(), name.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        slot.used = 1;
        return i;
    }
    return -1;  // more files than slots: those are only removed normally
}

// Holds SIGINT and SIGTERM back while it lives, so that a file is never
// created without being listed for the handler.
class HeldSignals {
public:
    HeldSignals() {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

private:
    sigset_t previous_;
};

void RemoveSignalSlot(int& slot) {
    if (slot >= 0) signalSlots[slot].used = 0;
    slot = -1;
}

// Async-signal-safe calls only. The handler is reset on entry, so raising
// the signal again ends the process as it would have ended.
void RemoveStagedFiles(int signal) {
    for (SignalSlot& slot : signalSlots) {
        if (slot.used) ::unlinkat(slot.folder, slot.name, 0);
    }
    ::raise(signal);
}

int OpenFolder(const std::string& path) {
    return ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Opens the folders `folders` ("/" between them) below the open folder `fd`,
// making them first when `create` is set, one level at a time and never
// through a symbolic link or up by "..". Takes `fd` over; -1 with errno set
// on failure.
int OpenFoldersBelow(int fd, std::string_view folders, bool create) {
    size_t start = 0;
    while (fd >= 0 && start < folders.size()) {
        size_t end = std::min(folders.find('/', start), folders.size());
        std::string part(folders.substr(start, end - start));
        start = end + 1;
        int next = -1;
        if (part == "..") {
            errno = EINVAL;
        } else if (!create || ::mkdirat(fd, part.c_str(), 0777) == 0 || errno == EEXIST) {
            next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        int saved = errno;
        ::close(fd);
        errno = saved;
        fd = next;
    }
    return fd;
}

// The folder part of `relative` (without its last "/") and its file name.
std::pair<std::string_view, std::string> SplitFileName(std::string_view relative) {
    size_t slash = relative.rfind('/');
    if (slash == std::string_view::npos) return {{}, std::string(relative)};
    return {relative.substr(0, slash), std::string(relative.substr(slash + 1))};
}

// A short name, so that it fits wherever the name it stands in for fits.
std::string TemporaryName() {
    static std::atomic<unsigned> counter = 0;
    char name[32];
    std::snprintf(name, sizeof name, ".orv%x-%x", static_cast<unsigned>(::getpid()), counter++);
    return name;
}

// A regular file at `name` hands its permissions on; a symbolic link there
// is refused.
bool TakeOverMode(int folder, const std::string& name, int fd) {
    struct stat replaced;
    if (::fstatat(folder, name.c_str(), &replaced, AT_SYMLINK_NOFOLLOW) != 0) return true;
    if (S_ISLNK(replaced.st_mode)) {
        errno = ELOOP;
        return false;
    }
    return !S_ISREG(replaced.st_mode) || ::fchmod(fd, replaced.st_mode & 0777) == 0;
}

}  // namespace

StagedFile::StagedFile(const std::string& path) {
    std::string folderPath = DirectoryOf(path);
    Open(OpenFolder(folderPath), folderPath, path.substr(folderPath.size()));
}

StagedFile::StagedFile(const std::string& root, const std::string& relative) {
    auto [folders, name] = SplitFileName(relative);
    std::string folderPath = root.empty() || root.back() == '/' ? root : root + "/";
    if (!folders.empty()) folderPath.append(folders).append("/");
    Open(OpenFoldersBelow(OpenFolder(root), folders, true), folderPath, std::move(name));
}

void StagedFile::Open(int folder, const std::string& folderPath, std::string name) {
    folder_ = folder;
    folderPath_ = folderPath;
    name_ = std::move(name);
    if (folder_ < 0) {
        error_ = errno;
        return;
    }
    // A name someone else took is tried again under the next one.
    HeldSignals held;
    int fd = -1;
    std::string temp;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = TemporaryName();
        fd = ::openat(folder_, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error_ = errno;
        return;
    }
    tempName_ = std::move(temp);
    slot_ = AddSignalSlot(folder_, tempName_);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        Fail();
    }
}

StagedFile::~StagedFile() {
    Discard();
    if (folder_ >= 0) ::close(folder_);
}

std::string StagedFile::Path() const {
    return folderPath_ + tempName_;
}

void StagedFile::Discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!tempName_.empty()) ::unlinkat(folder_, tempName_.c_str(), 0);
    tempName_.clear();
    RemoveSignalSlot(slot_);
}

bool StagedFile::Fail() {
    error_ = errno;
    Discard();
    return false;
}

bool StagedFile::Commit() {
    if (!file_) return false;
    int fd = ::fileno(file_);
    if (!TakeOverMode(folder_, name_, fd) || std::fflush(file_) != 0 || ::fsync(fd) != 0) {
        return Fail();
    }
    if (std::fclose(std::exchange(file_, nullptr)) != 0 ||
        ::renameat(folder_, tempName_.c_str(), folder_, name_.c_str()) != 0) {
        return Fail();
    }
    tempName_.clear();
    RemoveSignalSlot(slot_);
    return true;
}

void RemoveStagedFilesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveStagedFiles;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM}) ::sigaction(signal, &action, nullptr);
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    StagedFile file(path);
    return file.File() && std::fwrite(bytes.data(), 1, bytes.size(), file.File()) == bytes.size() &&
           file.Commit();
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

std::vector<std::string> ProgramFileFolders(ProgramFiles kind) {
    // The build gives the installed folders relative to the installed
    // program's ("../share/orvanta3/"); the program's own path has no links
    // or "..", so the ".." can be folded away.
    std::string own = DirectoryOf(ExecutablePath());
    std::filesystem::path installed =
        own + (kind == ProgramFiles::Data ? ORV_INSTALLED_DATA : ORV_INSTALLED_PLUGINS);
    return {own, installed.lexically_normal().string()};
}

std::string FindProgramFile(const std::string& name) {
    std::vector<std::string> folders = ProgramFileFolders(ProgramFiles::Data);
    for (const std::string& folder : folders) {
        if (FileExists(folder + name)) return folder + name;
    }
    return folders.front() + name;
}

bool DirectoryExists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool ExistsBelow(const std::string& root, const std::string& relative) {
    auto [folders, name] = SplitFileName(relative);
    int folder = OpenFoldersBelow(OpenFolder(root), folders, false);
    if (folder < 0) return false;
    struct stat info;
    bool exists = ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    ::close(folder);
    return exists;
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
