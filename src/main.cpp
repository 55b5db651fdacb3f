// Process entry. The player cannot play a game yet: it says so and exits.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("orvanta3 0.1.0\n");
            return 0;
        }
    }
    std::printf("Orvanta 3 Runtime: playing games is not built yet; the scenario model is.\n");
    return 0;
}
