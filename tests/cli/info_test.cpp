// undelete info: kind and geometry of real images; a clear failure for a missing path.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "support/fixtures.h"
#include "support/run_command.h"

TEST(InfoCommand, PrintsKindAndClusterSizeOfEachSampleImage) {
    for (const std::string name : {"fat12", "fat16", "fat32", "ntfs"}) {
        SCOPED_TRACE(name);
        std::map<std::string, std::string> info;
        std::ifstream in(fixtures::Path(name + ".info"));
        for (std::string line; std::getline(in, line);)
            if (auto eq = line.find('='); eq != std::string::npos) info[line.substr(0, eq)] = line.substr(eq + 1);
        auto r = command::Undelete({"info", fixtures::Path(name + ".img").string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("file system:       " + info["kind"] + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("bytes per cluster: " + info["bytes_per_cluster"] + "\n"), std::string::npos) << r.out;
    }
}

TEST(InfoCommand, MissingPathGivesOneClearLineAndExitCode3) {
    auto r = command::Undelete({"info", "/no/such/volume.img"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.err,
              "undelete: cannot open /no/such/volume.img: status 14: the volume cannot be opened "
              "(system error 2: No such file or directory)\n");
}
