#include "support/run_command.h"

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace command {
namespace {
std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
}  // namespace

Result Run(const std::string& program, const std::vector<std::string>& args, const std::string& input) {
    static int counter = 0;
    auto base = std::filesystem::temp_directory_path() /
                ("undelete-run-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    auto outPath = base.string() + ".out", errPath = base.string() + ".err", inPath = base.string() + ".in";
    std::ofstream(inPath, std::ios::binary) << input;
    Result r;
    pid_t pid = fork();
    if (pid == 0) {
        int in = open(inPath.c_str(), O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = Slurp(outPath);
    r.err = Slurp(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    std::filesystem::remove(inPath);
    return r;
}

}  // namespace command
