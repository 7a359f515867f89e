// Clock, date conversions, the random generator and drive properties.
#include "platform/rtl/datetime.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <set>

#include "platform/rtl/drives.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/random.h"
#include "tests/rtl/system_fixture.h"

using namespace rtl;

namespace {

time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    struct tm tm = {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return mktime(&tm);
}

int32_t Dos(int year, int month, int day, int hour, int minute, int second) {
    uint32_t v = (uint32_t(year - 1980) << 25) | (uint32_t(month) << 21) | (uint32_t(day) << 16) |
                 (uint32_t(hour) << 11) | (uint32_t(minute) << 5) | uint32_t(second / 2);
    return static_cast<int32_t>(v);
}

}  // namespace

TEST(DosDateTimeTest, ConvertsLocalTimeInTwoSecondSteps) {
    time_t t = LocalTime(2003, 7, 14, 9, 26, 53);
    EXPECT_EQ(TimeToDosDateTime(t), Dos(2003, 7, 14, 9, 26, 52));
    EXPECT_EQ(DosDateTimeToTime(Dos(2003, 7, 14, 9, 26, 52)), t - 1);
    EXPECT_EQ(TimeToDosDateTime(LocalTime(1975, 1, 1, 0, 0, 0)), Dos(1980, 1, 1, 0, 0, 0));
    EXPECT_EQ(TimeToDosDateTime(LocalTime(2107, 12, 31, 23, 59, 59)), Dos(2107, 12, 31, 23, 59, 58));
}

TEST(DosDateTimeTest, DatePartIsUnsigned) {
    int32_t dos = Dos(2100, 3, 1, 12, 0, 0);
    ASSERT_LT(dos, 0);
    int year, month, day;
    DecodeDate(FileDateToDateTime(dos), year, month, day);
    EXPECT_EQ(year, 2100);
    EXPECT_EQ(month, 3);
    EXPECT_EQ(day, 1);
    EXPECT_EQ(DateTimeToFileDate(FileDateToDateTime(dos)), dos);
    EXPECT_EQ(TimeToDosDateTime(DosDateTimeToTime(dos)), dos);
}

TEST(DosDateTimeTest, InvalidFieldsAreRefused) {
    EXPECT_EQ(DosDateTimeToTime(0), -1);                           // month 0, day 0
    EXPECT_EQ(DosDateTimeToTime(Dos(2001, 2, 29, 0, 0, 0)), -1);   // not a leap year
    EXPECT_EQ(DosDateTimeToTime(Dos(2001, 13, 1, 0, 0, 0)), -1);
    EXPECT_EQ(DosDateTimeToTime(Dos(2001, 1, 1, 24, 0, 0)), -1);
    EXPECT_EQ(DosDateTimeToTime(Dos(2001, 1, 1, 0, 60, 0)), -1);
    EXPECT_TRUE(IsValidDosDateTime(Dos(2000, 2, 29, 23, 59, 58)));
    EXPECT_THROW(FileDateToDateTime(-1), EConvertError);
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
}

TEST(TDateTimeTest, EncodeAndDecode) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    TDateTime dt = EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 59, 999);
    int year, month, day, hour, minute, second, msec;
    DecodeDate(dt, year, month, day);
    DecodeTime(dt, hour, minute, second, msec);
    EXPECT_EQ(std::vector<int>({year, month, day, hour, minute, second, msec}),
              std::vector<int>({2024, 2, 29, 23, 59, 59, 999}));
    DecodeDate(NAN, year, month, day);  // no undefined behaviour on nonsense
}

TEST(ClockTest, NowAndTicks) {
    int32_t before = TimeToDosDateTime(time(nullptr));
    int32_t now = DateTimeToFileDate(Now());
    int32_t after = TimeToDosDateTime(time(nullptr) + 2);
    EXPECT_LE(static_cast<uint32_t>(before), static_cast<uint32_t>(now));
    EXPECT_LE(static_cast<uint32_t>(now), static_cast<uint32_t>(after));
    uint32_t t0 = GetTickCount();
    usleep(20000);
    uint32_t elapsed = GetTickCount() - t0;
    EXPECT_GE(elapsed, 19u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(RandomTest, SeededSequenceRepeatsAndStaysInRange) {
    SetRandSeed(12345);
    std::vector<int> first;
    for (int i = 0; i < 50; ++i) first.push_back(Random(1000));
    SetRandSeed(12345);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(Random(1000), first[i]);

    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        int r = Random(10);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 10);
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 10u);
    EXPECT_EQ(Random(0), 0);
    EXPECT_EQ(Random(-5), 0);
    double f = RandomFloat();
    EXPECT_GE(f, 0.0);
    EXPECT_LT(f, 1.0);
    SetRandSeed(1);
    Randomize();
    EXPECT_NE(GetRandSeed(), 1u);
}

TEST(DrivesTest, FixedUnlessUnderTheRemovableFolder) {
    rtltest::TempFolder tmp;
    std::filesystem::create_directories(tmp.Native("media/disk/sub"));
    EXPECT_EQ(GetDriveType(tmp.Win()), DRIVE_FIXED);
    EXPECT_EQ(GetDriveType(""), DRIVE_FIXED);
    EXPECT_GT(DiskFree(tmp.Win()), 0);
    EXPECT_GT(DiskFree(tmp.Win() + "not\\yet\\made"), 0);  // the nearest existing folder counts
    EXPECT_EQ(GetVolumeLabel(tmp.Win()), "");

    SetRemovableFolderForTests(tmp.Win() + "media\\disk", "DISK_2", 1440 * 1024);
    EXPECT_EQ(GetDriveType(tmp.Win() + "MEDIA\\Disk\\sub\\archive.zip"), DRIVE_REMOVABLE);
    EXPECT_EQ(GetDriveType(tmp.Win() + "media\\disk"), DRIVE_REMOVABLE);
    EXPECT_EQ(GetDriveType(tmp.Win() + "media\\diskette"), DRIVE_FIXED);
    EXPECT_EQ(GetVolumeLabel(tmp.Win() + "media\\disk\\"), "DISK_2");
    EXPECT_EQ(DiskFree(tmp.Win() + "media\\disk\\sub"), 1440 * 1024);
    EXPECT_TRUE(SetVolumeLabel(tmp.Win() + "media\\disk\\a.zip", "pkback# 001"));
    EXPECT_EQ(GetVolumeLabel(tmp.Win() + "media\\disk"), "pkback# 001");
    EXPECT_FALSE(SetVolumeLabel(tmp.Win(), "FIXED"));  // fixed drives keep no label here
    {
        rtltest::CurrentDirGuard guard;
        ASSERT_TRUE(chdir(tmp.Native("media/disk/sub").c_str()) == 0);
        EXPECT_EQ(GetDriveType(""), DRIVE_REMOVABLE);  // "" is the current folder's drive
    }
    SetRemovableFolderForTests("", "", 0);
    EXPECT_EQ(GetDriveType(tmp.Win() + "media\\disk"), DRIVE_FIXED);
}

TEST(DrivesTest, AvailableMemory) {
    EXPECT_GT(AvailablePhysicalMemory(), 0);
    SetAvailableMemoryForTests(64 * 1024);
    EXPECT_EQ(AvailablePhysicalMemory(), 64 * 1024);
    SetAvailableMemoryForTests(-1);
    EXPECT_GT(AvailablePhysicalMemory(), 64 * 1024);
}
