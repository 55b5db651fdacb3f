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

}  // namespace platform
