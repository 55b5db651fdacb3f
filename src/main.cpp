// Process entry and command line.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/sdl_backend.h"
#include "shell/Headless.h"
#include "shell/Rtm_log.h"
#include "shell/Rtm_main.h"
#include "shell/Rtm_run.h"

namespace {

constexpr const char* kVersion = "0.1.0";

void PrintHelp() {
    std::printf(
        "Usage: orvanta3 [--headless [options]] [PACKAGE]\n"
        "\n"
        "Plays the game package PACKAGE (.vp3). Without it, the package named like this\n"
        "program with the extension .vp3. The system library veltort3.vlb is taken\n"
        "from beside the program, else from its installation's data folder\n"
        "(PREFIX/share/orvanta3 for a program in PREFIX/bin).\n"
        "\n"
        "  --scale N         open the game's windows N times larger (1 to 8); F11 or\n"
        "                    Alt+Enter switches the main window to fullscreen\n"
        "  --headless        run without a window or sound on a virtual clock that\n"
        "                    starts at 0 and jumps from one due event to the next\n"
        "  --input FILE      scripted input, one action a line (blank lines and lines\n"
        "                    starting with # are ignored):\n"
        "                      click [X Y]   left click (at X Y after moving there)\n"
        "                      rclick [X Y]  right click\n"
        "                      move X Y      move the pointer\n"
        "                      sleep MS      let MS virtual milliseconds pass\n"
        "                      close         close the main window\n"
        "                      shot [N] FILE.png  what the main window (or tool\n"
        "                                    window N, 1 to 5, shown or not) shows\n"
        "                      movewindow X Y    the user moves the main window\n"
        "                      dragwindow N X Y  the user drags tool window N\n"
        "                    these are taken one at a time whenever the player waits,\n"
        "                    timed pauses included (a click there ends nothing, as a\n"
        "                    player's would not: sleep through them);\n"
        "                      answer ok|yes|no|abort|ignore   the next message box\n"
        "                      input TEXT | cancel             the next text-input box\n"
        "                    are queued as soon as the script reaches them. Unanswered\n"
        "                    boxes take OK, Yes or Ignore; input boxes are cancelled.\n"
        "  --trace FILE      a line per command: TICK BOOK/PAGE#INDEX COMMAND (also\n"
        "                    without --headless, the tick then in real milliseconds)\n"
        "  --messages FILE   a line per message box: KIND BUTTONS ANSWER TEXT\n"
        "  --media-log FILE  a line per music or sound event: TICK CHANNEL EVENT FILE,\n"
        "                    CHANNEL music or sound, EVENT open, fail (cannot be\n"
        "                    played), end (at the tick it ended, even when noticed\n"
        "                    later), rewind (played again), stop; files play for the\n"
        "                    length their headers give\n"
        "  --dump-vars FILE  at exit, the variable blocks as BLOCK:NAME=VALUE lines\n"
        "  --windows FILE    at exit, a line per window (0 the main window, 1 to 5 the\n"
        "                    tool windows): INDEX VISIBLE LEFT TOP WIDTH HEIGHT CAPTION\n"
        "  --screenshot FILE.png  at exit, what the main window shows\n"
        "  --seed N          seed of the random numbers\n"
        "  --max-time MS     end a run still going at this virtual time (3600000)\n"
        "  --library PATH    the system library to use\n"
        "  --help, --version\n"
        "\n"
        "FILE \"-\" is standard output (standard input for --input). Exit status: 0 the\n"
        "scenario ended or the window was closed; 1 the player quit after an error;\n"
        "2 a bad command line; 3 input used up while waiting for a click, or --max-time.\n");
}

bool ParseUnsigned(const char* text, uint32_t& value) {
    char* end = nullptr;
    errno = 0;
    unsigned long long number = std::strtoull(text, &end, 10);
    if (!*text || *end || errno || text[0] == '-' || number > UINT32_MAX) return false;
    value = static_cast<uint32_t>(number);
    return true;
}

// The options naming a file, and the setting each fills.
const std::pair<std::string_view, std::string shell::HeadlessOptions::*> kFileOptions[] = {
    {"--library", &shell::HeadlessOptions::libraryPath},
    {"--input", &shell::HeadlessOptions::inputPath},
    {"--trace", &shell::HeadlessOptions::tracePath},
    {"--messages", &shell::HeadlessOptions::messagesPath},
    {"--media-log", &shell::HeadlessOptions::mediaLogPath},
    {"--dump-vars", &shell::HeadlessOptions::dumpVarsPath},
    {"--windows", &shell::HeadlessOptions::windowsPath},
    {"--screenshot", &shell::HeadlessOptions::screenshotPath},
};

// nullptr for options that name no file.
std::string* FileOption(shell::HeadlessOptions& options, std::string_view option) {
    for (const auto& [name, member] : kFileOptions) {
        if (name == option) return &(options.*member);
    }
    return nullptr;
}

// The first option given that only a headless run has, or "".
std::string HeadlessOnly(const shell::HeadlessOptions& options) {
    for (const auto& [name, member] : kFileOptions) {
        if (name != "--library" && name != "--trace" && !(options.*member).empty()) {
            return std::string(name);
        }
    }
    return options.maxTime != shell::HeadlessOptions{}.maxTime ? "--max-time" : "";
}

int PlayInWindow(const shell::HeadlessOptions& options, const platform::SdlSettings& settings) {
    std::string problem;
    std::unique_ptr<platform::Backend> backend = platform::OpenSdlBackend(settings, problem);
    if (!backend) {
        std::fprintf(stderr, "orvanta3: %s; use --headless to play without a window\n",
                     problem.c_str());
        return shell::kExitUsage;
    }
    platform::ScopedBackend installed(*backend);
    shell::LogOutput trace;
    if (!trace.Open(options.tracePath)) {
        std::fprintf(stderr, "orvanta3: %s: cannot write\n", options.tracePath.c_str());
        return shell::kExitUsage;
    }
    shell::TfrmMain form;
    if (trace.active()) {
        form.onCommand = [&](int32_t index, const scenario::TVeltoCommand& command) {
            trace.Line(shell::TraceLine(form, index, command));
        };
    }
    return shell::RunPlayer(form, {options.packagePath, options.libraryPath, options.seed});
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "orvanta3: %s (see --help)\n", problem.c_str());
    return shell::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    shell::HeadlessOptions options;
    platform::SdlSettings sdl;
    bool headless = false;
    std::string executable = platform::ExecutablePath();
    options.libraryPath = platform::FindProgramFile("veltort3.vlb");
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= argc) return false;
            target = argv[++i];
            return true;
        };
        if (arg == "--help") {
            PrintHelp();
            return 0;
        } else if (arg == "--version") {
            std::printf("orvanta3 %s\n", kVersion);
            return 0;
        } else if (arg == "--headless") {
            headless = true;
        } else if (std::string* target = FileOption(options, arg)) {
            if (!value(*target) || target->empty()) {
                return Usage(std::string(arg) + " needs a file");
            }
        } else if (arg == "--scale") {
            std::string text;
            uint32_t number;
            if (!value(text) || !ParseUnsigned(text.c_str(), number) ||
                number < platform::kMinScale || number > platform::kMaxScale) {
                return Usage("--scale needs a number from 1 to 8");
            }
            sdl.scale = int(number);
        } else if (arg == "--seed" || arg == "--max-time") {
            std::string text;
            uint32_t number;
            if (!value(text) || !ParseUnsigned(text.c_str(), number)) {
                return Usage(std::string(arg) + " needs a number");
            }
            if (arg == "--seed") {
                options.seed = number;
            } else {
                options.maxTime = number;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option " + std::string(arg));
        } else if (options.packagePath.empty()) {
            options.packagePath = arg;
        } else {
            return Usage("more than one package");
        }
    }
    if (options.packagePath.empty()) {
        options.packagePath = platform::ReplaceExtension(executable, ".vp3");
    }
    if (!headless && !HeadlessOnly(options).empty()) {
        return Usage(HeadlessOnly(options) + " works with --headless only");
    }
    // Without a CP932 converter the game still plays, its Japanese shown as
    // replacement characters; say so once.
    if (std::string problem; !platform::CheckTextEncoding(problem)) {
        std::fprintf(stderr, "orvanta3: %s\n", problem.c_str());
    }
    if (headless) {
        platform::HeadlessBackend backend;
        platform::ScopedBackend installed(backend);
        return shell::RunHeadless(options, backend);
    }
    return PlayInWindow(options, sdl);
}
