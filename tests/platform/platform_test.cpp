// Platform layer: MulDiv, error texts, wide formatting, mount-point lookup, time.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/device_file.h"
#include "platform/filetime.h"
#include "platform/last_error.h"
#include "platform/muldiv.h"
#include "platform/wide_string.h"

TEST(Platform, MulDivRoundsAndRejectsOverflow) {
    EXPECT_EQ(platform::MulDiv(10, 3, 4), 8);   // 7.5 rounds up
    EXPECT_EQ(platform::MulDiv(-10, 3, 4), -8);
    EXPECT_EQ(platform::MulDiv(1000000, 1000000, 1000), 1000000000);
    EXPECT_EQ(platform::MulDiv(5, 5, 0), -1);
    EXPECT_EQ(platform::MulDiv(INT32_MAX, 4, 2), -1);
}

TEST(Platform, ErrnoMapsToWindowsCodesWithTexts) {
    EXPECT_EQ(platform::ErrnoToWinError(ENOENT), 2u);
    EXPECT_EQ(platform::ErrnoToWinError(EACCES), 5u);
    EXPECT_EQ(platform::SystemErrorText(5), "Permission denied");
    EXPECT_EQ(platform::SystemErrorText(0x7777), "Unknown error 30583");
    // End of data has no errno twin but still gets a text of its own.
    EXPECT_EQ(platform::SystemErrorText(38), "Reached the end of the file (the image may be cut short).");
}

TEST(Platform, FormatWideHandlesIntegersAndCutsToCapacity) {
    WCHAR out[16];
    long long args[] = {7, -1};
    platform::FormatWide(out, 16, u"n=%d u=%u %%", args, 2);
    EXPECT_EQ(platform::Utf8FromWide(out), "n=7 u=429496729");  // cut to 15 characters
    platform::FormatWide(out, 16, u"%04d|%s", args, 1);
    EXPECT_EQ(platform::Utf8FromWide(out), "0007|%s");
}

TEST(Platform, MountPointResolvesToTheVisibleMount) {
    auto path = std::filesystem::temp_directory_path() / "undelete-mountinfo";
    {
        std::ofstream f(path);
        f << "22 1 8:1 / /mnt/data rw,relatime shared:1 - vfat /dev/null rw\n";
        f << "23 1 0:5 / /mnt/my\\040disk rw - tmpfs tmpfs rw\n";
    }
    EXPECT_EQ(platform::DeviceForMountPoint("/mnt/data/", path.string()), "");
    EXPECT_EQ(platform::GetLastError(), 50u);  // /dev/null is not a block device
    EXPECT_EQ(platform::DeviceForMountPoint("/mnt/nothing/", path.string()), "");
    EXPECT_EQ(platform::GetLastError(), 2u);
    std::filesystem::remove(path);
}

TEST(Platform, VolumeLocationSyntax) {
    auto w = platform::ParseVolumeLocation("/img/disk.img@1048576+2048");
    EXPECT_EQ(w.path, "/img/disk.img");
    EXPECT_EQ(w.offset, 1048576u);
    EXPECT_EQ(w.length, 2048u);
    EXPECT_EQ(platform::ParseVolumeLocation("/img/a@b.img").path, "/img/a@b.img");
    EXPECT_EQ(platform::FormatVolumeLocation(w), "/img/disk.img@1048576+2048");
}

TEST(Platform, DosTimesAndCalendarRoundTrip) {
    FILETIME ft{};
    // 2023-06-15 12:34:56
    WORD date = WORD(((2023 - 1980) << 9) | (6 << 5) | 15);
    WORD time = WORD((12 << 11) | (34 << 5) | (56 / 2));
    ASSERT_TRUE(platform::DosDateTimeToFileTime(date, time, &ft));
    platform::SYSTEMTIME st{};
    ASSERT_TRUE(platform::FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(st.wYear, 2023);
    EXPECT_EQ(st.wMonth, 6);
    EXPECT_EQ(st.wDay, 15);
    EXPECT_EQ(st.wHour, 12);
    EXPECT_EQ(st.wSecond, 56);
    EXPECT_FALSE(platform::DosDateTimeToFileTime(WORD((1 << 5) | 0), 0, &ft));  // day 0

    setenv("TZ", "UTC-2", 1);  // two hours east of UTC
    tzset();
    FILETIME local{}, utc{};
    ASSERT_TRUE(platform::FileTimeToLocalFileTime(&ft, &local));
    EXPECT_EQ(FileTimeToU64(local) - FileTimeToU64(ft), 2ull * 3600 * 10000000);
    ASSERT_TRUE(platform::LocalFileTimeToFileTime(&local, &utc));
    EXPECT_EQ(FileTimeToU64(utc), FileTimeToU64(ft));
    unsetenv("TZ");
    tzset();
}
