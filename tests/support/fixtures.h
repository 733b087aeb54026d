// Where the test images built by tests/fixtures/ live, and small helpers around them.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fixtures {

inline std::filesystem::path Dir() {
    const char* env = std::getenv("UNDELETE_FIXTURES");
    return env && *env ? std::filesystem::path(env) : std::filesystem::path(UNDELETE_FIXTURES_DEFAULT);
}

inline std::filesystem::path Path(const std::string& name) { return Dir() / name; }

inline bool Exists(const std::string& name) { return std::filesystem::exists(Path(name)); }

inline std::vector<unsigned char> ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace fixtures
