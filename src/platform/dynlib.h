// Shared objects loaded at run time (the image plug-ins) and the memory blocks
// they hand over.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

using LibraryHandle = void*;

// The regular files in the mask's directory whose names match its last part
// ("*.spi", say) ignoring the case of ASCII letters, each as the mask's
// directory + name. Sorted by the bytes of the name, since the order of a
// directory listing changes from one file system to the next.
std::vector<std::string> FindLibraries(const std::string& mask);

// Binds every symbol now, so that a library missing one fails here rather
// than in the middle of a call, and keeps its symbols to itself. nullptr when
// it cannot be loaded.
LibraryHandle OpenLibrary(const std::string& path);
// nullptr when the library does not export `name`.
void* LibrarySymbol(LibraryHandle library, const char* name);
void CloseLibrary(LibraryHandle library);

// A block a library allocated with malloc and handed over: the bytes it may
// hold (at least what was asked for), and its release.
size_t LibraryBlockSize(const void* block);
void FreeLibraryBlock(void* block);

}  // namespace platform
