#include "platform/dynlib.h"

#include <dirent.h>
#include <dlfcn.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>

#include "platform/ascii.h"
#include "platform/files.h"

namespace platform {

std::vector<std::string> FindLibraries(const std::string& mask) {
    std::string directory = DirectoryOf(mask);
    std::string pattern = mask.substr(directory.size());
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) return names;
    while (dirent* entry = ::readdir(dir)) {
        if (MatchesGlobIgnoringAsciiCase(pattern, entry->d_name) &&
            FileExists(directory + entry->d_name)) {
            names.push_back(entry->d_name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (std::string& name : names) name.insert(0, directory);
    return names;
}

LibraryHandle OpenLibrary(const std::string& path) {
    // Without a "/" dlopen would search the system's library path instead.
    std::string local = path.find('/') == std::string::npos ? "./" + path : path;
    return ::dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(LibraryHandle library, const char* name) {
    return ::dlsym(library, name);
}

void CloseLibrary(LibraryHandle library) {
    ::dlclose(library);
}

size_t LibraryBlockSize(const void* block) {
    return ::malloc_usable_size(const_cast<void*>(block));
}

void FreeLibraryBlock(void* block) {
    std::free(block);
}

}  // namespace platform
