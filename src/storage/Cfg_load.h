// TConfigLoader: the per-game user settings file beside the package (the
// package path with ".cfg"), lines NAME=VALUE. Read once when the game is
// opened and written back, only if something changed, when it is closed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "scenario/Text_util.h"

namespace storage {

class TConfigLoader {
public:
    // Loads `fileName` when it exists; a missing file is an empty configuration.
    explicit TConfigLoader(std::string fileName);
    // Saves when saveOnFree is set and a setter changed something; a failure
    // is reported in a message box.
    ~TConfigLoader();
    TConfigLoader(const TConfigLoader&) = delete;
    TConfigLoader& operator=(const TConfigLoader&) = delete;

    // Names match ignoring the case of ASCII letters; the first line wins.
    std::string GetText(std::string_view key, std::string_view fallback) const;
    int32_t GetInt(std::string_view key, int32_t fallback) const;
    bool GetBool(std::string_view key, bool fallback) const;
    void SetText(std::string_view key, std::string_view value);
    void SetInt(std::string_view key, int32_t value);
    void SetBool(std::string_view key, bool value);

    // Writes every line, CR LF ended, replacing the file in one step and
    // keeping its permissions. False when it could not be written, or when
    // the file is a symbolic link (replacing it would copy what it leads to,
    // maybe a private file, beside the game); the old file is then untouched.
    bool Save();

    bool Modified() const { return modified_; }
    bool saveOnFree = true;
    const std::string& FileName() const { return fileName_; }
    const scenario::StringList& Lines() const { return lines_; }

private:
    bool modified_ = false;
    std::string fileName_;
    scenario::StringList lines_;
};

}  // namespace storage
