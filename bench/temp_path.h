// A fresh, empty file in /tmp for a benchmark's generated input.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

inline std::string TempPath(const std::string& prefix) {
    std::string name = "/tmp/" + prefix + "XXXXXX";
    int fd = mkstemp(name.data());
    if (fd >= 0) close(fd);
    return name;
}
