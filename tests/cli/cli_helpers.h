// Shared pieces of the command tests: the fixture manifests and the scan listing as JSON.
#pragma once
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

// The original of a listed path ("/Docs/report.doc") among IMAGE.files, or "" when none.
// Names compare without regard to ASCII case. A deleted FAT entry without a long name has
// lost its first letter on disk and is shown with the character U+00E5 in its place, so
// such a name matches any first letter.
inline std::string OriginalOf(const std::string& image, const std::string& shown) {
    auto lower = [](std::string s) {
        for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string lostLetter = "\xC3\xA5";
    std::filesystem::path root = fixtures::Path(image + ".files");
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        std::string rel = "/" + std::filesystem::relative(e.path(), root).string();
        if (rel.find(':') != std::string::npos) continue;  // a named stream's bytes
        size_t a = rel.rfind('/'), b = shown.rfind('/');
        if (lower(rel.substr(0, a)) != lower(shown.substr(0, b))) continue;
        std::string name = rel.substr(a + 1), listed = shown.substr(b + 1);
        if (listed.rfind(lostLetter, 0) == 0 && !name.empty()) {
            listed = listed.substr(lostLetter.size());
            name = name.substr(1);
        }
        if (lower(name) == lower(listed)) return rel;
    }
    return {};
}

inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Whether two files hold the same bytes; on a difference says where, without dumping them.
inline ::testing::AssertionResult SameBytes(const std::filesystem::path& got, const std::filesystem::path& want) {
    if (!std::filesystem::exists(got)) return ::testing::AssertionFailure() << got << " was not written";
    std::string a = Slurp(got), b = Slurp(want);
    if (a == b) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return ::testing::AssertionFailure() << got << " (" << a.size() << " bytes) differs from " << want << " ("
                                         << b.size() << " bytes) at byte " << i;
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
