// Streams that ntfs-3g wrote LZNT1-compressed (tests/fixtures/make_ntfs_compressed.sh),
// read through StreamReader from the image's clusters. The cluster map of each file comes
// from sleuthkit's istat (NAME.runs) and is turned into a run list here; the bytes read
// back must equal the original file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/snapshot/stream_reader.h"
#include "platform/wide_string.h"
#include "snapshot/stream_test_support.h"
#include "support/fixtures.h"

using namespace streamtest;

namespace {

struct FileRuns {
    std::string path;
    int64_t size = 0;
    std::vector<int64_t> clusters;  // per cluster of the stream; 0: sparse
};

std::vector<FileRuns> LoadRuns(const std::string& image) {
    std::vector<FileRuns> files;
    std::ifstream in(fixtures::Path(image + ".runs"));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        FileRuns f;
        fields >> f.path >> f.size;
        for (int64_t c; fields >> c;) f.clusters.push_back(c);
        files.push_back(f);
    }
    return files;
}

TEST(CompressedImage, NtfsCompressedFilesReadBackAsWritten) {
    constexpr uint32_t kUnitClusters = 16;
    for (const std::string image : {"ntfs_lznt1", "ntfs_lznt1_512"}) {
        SCOPED_TRACE(image);
        ASSERT_TRUE(fixtures::Exists(image + ".img")) << "fixture images not built";
        VolumeAccess volume;
        ASSERT_EQ(volume.OpenVolume(platform::WideFromUtf8(fixtures::Path(image + ".img").string()).c_str()), 1);
        const uint32_t cb = volume.GetClusterSize();
        const auto files = LoadRuns(image);
        ASSERT_EQ(files.size(), 3u);
        for (const auto& f : files) {
            SCOPED_TRACE(f.path);
            const Bytes original = fixtures::ReadFile(fixtures::Path(image + ".files") / f.path);
            ASSERT_EQ(int64_t(original.size()), f.size);
            // istat lists the clusters up to the file's size; NTFS allocates compressed
            // streams in whole units, the rest of the last unit being sparse.
            std::vector<int64_t> clusters = f.clusters;
            ASSERT_EQ(int64_t(clusters.size()), (f.size + cb - 1) / cb);
            clusters.resize((clusters.size() + kUnitClusters - 1) / kUnitClusters * kUnitClusters, 0);
            const auto total = uint32_t(clusters.size());
            OwnedStream s({{0, int64_t(total) - 1, EncodeRunList(clusters), EXTENT_COMPRESSED, 4}}, f.size);
            for (uint32_t step : {total, 5u, 16u}) {
                StreamReader* r = OpenStream(&volume, s.get());
                ASSERT_NE(r, nullptr);
                Bytes out(size_t(total) * cb);
                for (uint32_t done = 0; done < total; done += step)
                    ASSERT_EQ(ReadStream(r, out.data() + size_t(done) * cb, std::min(step, total - done)), 1);
                CloseStream(r);
                out.resize(original.size());
                EXPECT_TRUE(out == original) << "step " << step;
            }
        }
    }
}

}  // namespace
