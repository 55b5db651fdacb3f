// The player's command line, run as the built program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

namespace {

int ExitStatusOf(const std::string& arguments) {
    std::string command = std::string(ORVANTA3) + " " + arguments + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(CommandLine, BadArgumentsExitWithTwo) {
    EXPECT_EQ(ExitStatusOf("--help"), 0);
    EXPECT_EQ(ExitStatusOf("--version"), 0);
    EXPECT_EQ(ExitStatusOf("--headless --bogus"), 2);
    EXPECT_EQ(ExitStatusOf("--headless --seed"), 2);
    EXPECT_EQ(ExitStatusOf("--headless --seed -1 x.vp3"), 2);
    EXPECT_EQ(ExitStatusOf("--headless --max-time 99999999999 x.vp3"), 2);
    EXPECT_EQ(ExitStatusOf("--headless a.vp3 b.vp3"), 2);
    EXPECT_EQ(ExitStatusOf("--headless --input /nonexistent/script x.vp3"), 2);
    EXPECT_EQ(ExitStatusOf("--media-log /dev/null x.vp3"), 2) << "headless only";
    EXPECT_EQ(ExitStatusOf("--headless --media-log /nonexistent/log x.vp3"), 2);
    EXPECT_EQ(ExitStatusOf("--headless /nonexistent/game.vp3"), 1);
}
