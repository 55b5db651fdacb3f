// What a run writes down for its player: log files (or standard output) and
// the command trace, shared by headless and windowed runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "scenario/Cmd_obj.h"

namespace shell {

class TfrmMain;

// An output file, or standard output for "-"; nothing for "".
class LogOutput {
public:
    LogOutput() = default;
    LogOutput(const LogOutput&) = delete;
    LogOutput& operator=(const LogOutput&) = delete;
    ~LogOutput();

    bool Open(const std::string& path);
    bool active() const { return out_ != nullptr; }
    // Each line is flushed, so a log stays useful when a run is cut short.
    void Line(const std::string& text);

private:
    FILE* file_ = nullptr;
    FILE* out_ = nullptr;
};

// A trace line for the command about to run: TICK BOOK/PAGE#INDEX COMMAND.
std::string TraceLine(TfrmMain& form, int32_t index, const scenario::TVeltoCommand& command);

}  // namespace shell
