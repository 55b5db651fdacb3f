// Files on disk. Paths are UTF-8.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The whole file, or nothing when it cannot be read or is larger than maxBytes.
std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes);

// A file written under a short temporary name in the folder of the name it is
// meant for, and renamed to that name by Commit once it is complete: a crash,
// a full disk or a failure leaves either the old file or the new one, never
// half of one. Destroyed uncommitted, it is removed.
//
// Commit replaces what is at the name and never writes into it, so a hard
// link to a file elsewhere keeps that file as it was; a regular file it
// replaces leaves its permissions to the new one. A symbolic link at the name
// is refused (ELOOP): neither the link nor the file it leads to is ours to
// replace with these contents.
class StagedFile {
public:
    // To become `path`, in the folder of `path` as it is.
    explicit StagedFile(const std::string& path);
    // To become `relative` (a path as SafeRelativePath makes it) below the
    // folder `root`. The folders on the way are made when missing and opened
    // one level at a time, never through a symbolic link (ELOOP) or a file
    // (ENOTDIR), so nothing already below `root` can lead out of it.
    StagedFile(const std::string& root, const std::string& relative);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Null when the file could not be made; Error() says why.
    FILE* File() const { return file_; }
    // The errno of the last failure.
    int Error() const { return error_; }
    // The temporary file's path, for code that opens it by name.
    std::string Path() const;
    // Flushes the file to disk and renames it to its name. False, the file
    // removed and the name untouched, when that fails.
    bool Commit();

private:
    void Open(int folder, const std::string& folderPath, std::string name);
    void Discard();
    // Records errno and discards the file; false.
    bool Fail();

    int folder_ = -1;
    std::string folderPath_;  // ends in "/", or "" for the current folder
    std::string name_;
    std::string tempName_;
    FILE* file_ = nullptr;
    int slot_ = -1;  // in the list of files removed on a signal
    int error_ = 0;
};

// Makes SIGINT and SIGTERM remove the staged files not yet committed before
// the process ends, for short-lived tools whose users interrupt them.
void RemoveStagedFilesOnSignals();

// Writes `bytes` to `path` through a StagedFile. False when that fails; the
// old file is then untouched.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);
// The running program's own path.
std::string ExecutablePath();

// The files the player ships: data (the system library) and image plug-ins.
enum class ProgramFiles { Data, Plugins };
// The folders they are looked for in, in order, each ending in "/": the
// program's own folder, then the one the installation puts them in, found
// from the program's folder so that an installation moved as a whole (a
// relocated package, a DESTDIR) still finds them.
std::vector<std::string> ProgramFileFolders(ProgramFiles kind);
// The first of the data folders holding `name`; the program's own folder
// when none does, so that a report names the usual place.
std::string FindProgramFile(const std::string& name);
bool DirectoryExists(const std::string& path);
// One level: the parent must exist.
bool CreateDirectory(const std::string& path);
// Whether anything (a file, a folder, a link) is at `relative` below the
// folder `root`, looked for as StagedFile walks: never through a link.
bool ExistsBelow(const std::string& root, const std::string& relative);

// The directory part of a path, up to and including its last "/"; "" when
// there is none.
std::string DirectoryOf(const std::string& path);
// The path with its extension (from the last "." of the file name) replaced
// by `extension`, or with `extension` appended when it has none.
std::string ReplaceExtension(const std::string& path, std::string_view extension);

// Why SafeRelativePath refuses a name.
enum class UnsafePath { Empty, Absolute, DriveLetter, ParentFolder };

// A package entry name or a file name from a scenario (CP932, "\" or "/"
// between folders) as a relative UTF-8 path with "/", without empty or "."
// parts. Nothing, with the reason in `why` when asked, when it names no file
// or could leave the folder it is taken under: absolute, a drive letter, "..".
std::optional<std::string> SafeRelativePath(std::string_view cp932Name, UnsafePath* why = nullptr);

// `base` + `relative` when that file exists; otherwise the first file whose
// path matches ignoring the case of ASCII letters, folder by folder, since the
// games were made on a file system that ignores case.
std::optional<std::string> FindFile(const std::string& base, const std::string& relative);

}  // namespace platform
