// Runs the built vp3tool as a subprocess, with a temporary folder per test.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/test_files.h"

namespace testkit {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class Vp3toolTest : public TempDirTest {
protected:
    // Output into files, so that no pipe can fill up and stall the tool.
    Result Run(const std::vector<std::string>& args) const {
        std::string command = VP3TOOL;
        for (const std::string& arg : args) command += " '" + arg + "'";
        int status = std::system((command + " >" + Path(".out") + " 2>" + Path(".err")).c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(".out"), Read(".err")};
    }
};

}  // namespace testkit
