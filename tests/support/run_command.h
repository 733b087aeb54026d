// Runs the undelete command (or any program) and captures its exit code and output.
#pragma once
#include <string>
#include <vector>

namespace command {

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args`, standard input from /dev/null unless `input` is given.
Result Run(const std::string& program, const std::vector<std::string>& args, const std::string& input = {});

// Runs the undelete command built with the tests.
inline Result Undelete(const std::vector<std::string>& args, const std::string& input = {}) {
    return Run(UNDELETE_CLI_PATH, args, input);
}

}  // namespace command
