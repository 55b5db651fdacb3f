// Files on disk. Paths are UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The whole file, or nothing when it cannot be read or is larger than maxBytes.
std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes);

// Writes a temporary file beside `path` and renames it over `path`, so that a
// crash or a full disk leaves either the old file or the new one, never half.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);
// The running program's own path.
std::string ExecutablePath();
bool DirectoryExists(const std::string& path);
// One level: the parent must exist.
bool CreateDirectory(const std::string& path);
// Creates the folders of `relative` (a file's path below `base`) that are
// missing; `base` itself must exist.
bool CreateParentDirectories(const std::string& base, const std::string& relative);

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
