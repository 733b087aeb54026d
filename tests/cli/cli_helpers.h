// Shared pieces of the command tests: the fixture manifests and the scan listing as JSON.
#pragma once
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "support/fixtures.h"
#include "support/run_command.h"

namespace clitest {

// The deleted files (not folders) of a fixture image, as "/path".
inline std::set<std::string> DeletedFiles(const std::string& image) {
    std::set<std::string> files;
    std::ifstream in(fixtures::Path(image + ".deleted"));
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line.back() != '/') files.insert("/" + line);
    return files;
}

// `undelete scan IMAGE --json EXTRA...`, one parsed object per line.
inline std::vector<nlohmann::json> ScanJson(const std::string& image, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"scan", fixtures::Path(image + ".img").string(), "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    command::Result r = command::Undelete(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<nlohmann::json> out;
    size_t pos = 0;
    while (pos < r.out.size()) {
        size_t nl = r.out.find('\n', pos);
        std::string line = r.out.substr(pos, nl - pos);
        out.push_back(nlohmann::json::parse(line));  // throws (and fails the test) if not JSON
        pos = nl == std::string::npos ? r.out.size() : nl + 1;
    }
    return out;
}

inline std::string PathOf(const nlohmann::json& j) {
    return j["folder"].get<std::string>() + j["name"].get<std::string>();
}

inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh empty folder for one test.
inline std::filesystem::path TempDir(const std::string& tag) {
    auto dir = std::filesystem::temp_directory_path() / ("undelete-cli-" + tag + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline int LineCount(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

}  // namespace clitest
