#include "platform/backend.h"

#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

Backend* installed = nullptr;

}  // namespace

void InstallBackend(Backend* backend) {
    installed = backend;
}

Backend& CurrentBackend() {
    if (!installed) {
        std::fputs("orvanta3: internal error: the platform is used before a backend is installed\n",
                   stderr);
        std::abort();
    }
    return *installed;
}

}  // namespace platform
