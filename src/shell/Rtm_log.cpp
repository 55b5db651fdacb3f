#include "shell/Rtm_log.h"

#include "platform/clock.h"
#include "platform/encoding.h"
#include "scenario/Text_util.h"
#include "shell/Rtm_main.h"

namespace shell {

LogOutput::~LogOutput() {
    if (file_) std::fclose(file_);
}

bool LogOutput::Open(const std::string& path) {
    if (path.empty()) return true;
    if (path == "-") {
        out_ = stdout;
        return true;
    }
    file_ = std::fopen(path.c_str(), "w");
    out_ = file_;
    return file_ != nullptr;
}

void LogOutput::Line(const std::string& text) {
    if (!out_) return;
    std::fputs(text.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

std::string TraceLine(TfrmMain& form, int32_t index, const scenario::TVeltoCommand& command) {
    scenario::TCommandCtrl& commands = form.Access().Commands();
    std::string line = std::to_string(platform::TickCount()) + " ";
    line += platform::Cp932ToUtf8(commands.BookName() + "/" + commands.PageName());
    line += "#" + std::to_string(index) + " ";
    line += platform::Cp932ToUtf8(scenario::Trim(command.Line));
    return line;
}

}  // namespace shell
