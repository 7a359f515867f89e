// Volume numbering, size limits, volume file names, and how opening tells single-file, split and
// spanned archives apart (removable drives through the platform's test folder).
#include "platform/rtl/drives.h"
#include "platform/rtl/streams.h"
#include "tests/archive/archiver/fixture.h"

namespace {

TEST(VolumeNumberInfo, RolesAndComparison)
{
    TZAVolumeNumberInfo a;
    EXPECT_EQ(a.VolumeRole, TZAVolumeNumberInfo::vrNotSet);
    EXPECT_FALSE(a.IsFirst());
    EXPECT_FALSE(a.IsLast());
    a.SetFirst(true);
    EXPECT_TRUE(a.IsFirst());
    EXPECT_EQ(a.VolumeRole, TZAVolumeNumberInfo::vrFirst);
    a.SetFirst(false);  // False changes nothing
    EXPECT_TRUE(a.IsFirst());

    TZAVolumeNumberInfo last;
    last.SetLast(true);
    EXPECT_EQ(last.VolumeNumber, -1);
    EXPECT_TRUE(last.IsLast());
    last.FinalVolumeNumber = 4;
    EXPECT_FALSE(last.IsLast());  // a known final number decides by number
    last.SetLast(true);
    EXPECT_EQ(last.VolumeNumber, 4);
    EXPECT_TRUE(last.IsLast());

    TZAVolumeNumberInfo n;
    n.SetNumber(4);
    n.FinalVolumeNumber = 4;
    EXPECT_EQ(n.VolumeRole, TZAVolumeNumberInfo::vrNumbered);
    EXPECT_TRUE(n.IsLast());
    EXPECT_TRUE(last.SameVolume(n));
    EXPECT_FALSE(a.SameVolume(n));

    TZAVolumeNumberInfo unset, unset2;
    EXPECT_TRUE(unset.SameVolume(unset2));
    TZAVolumeNumberInfo two, three;
    two.SetNumber(2);
    three.SetNumber(3);
    EXPECT_FALSE(two.SameVolume(three));
    three.SetNumber(2);
    EXPECT_TRUE(two.SameVolume(three));

    n.Reset();
    EXPECT_EQ(n.VolumeRole, TZAVolumeNumberInfo::vrNotSet);
    EXPECT_EQ(n.VolumeNumber, -1);
    EXPECT_EQ(n.FinalVolumeNumber, -1);
}

TEST(SpanningOptions, LimitsOfEverySize)
{
    TZASpanningOptions o;
    const std::pair<TZAVolumeSize, int64_t> table[] = {
        {vsAutoDetect, -1},      {vs1_44MB, 1457664},     {vs100MB, 104857600},
        {vs200MB, 209715200},    {vs250MB, 262144000},    {vs600MB, 629145600},
        {vs650MB, 681574400},    {vs700MB, 734003200},    {vs4700MB, 4928307200},
    };
    TZAVolumeNumberInfo second;
    second.SetNumber(1);
    for (const auto& [size, limit] : table) {
        o.VolumeSize = size;
        EXPECT_EQ(o.VolumeSizeFor(second), limit) << int(size);
    }
    o.VolumeSize = vsCustom;
    o.SetCustomVolumeSize(1000);
    EXPECT_EQ(o.CustomVolumeSize(), 65536);
    o.SetCustomVolumeSize(-5);
    EXPECT_EQ(o.CustomVolumeSize(), 65536);
    o.SetCustomVolumeSize(200000);
    EXPECT_EQ(o.VolumeSizeFor(second), 200000);

    TZAVolumeNumberInfo first;
    first.SetFirst(true);
    EXPECT_EQ(o.VolumeSizeFor(first), 200000);  // FirstVolumeSize 0: as the others
    o.FirstVolumeSize = 70000;
    EXPECT_EQ(o.VolumeSizeFor(first), 70000);
    EXPECT_EQ(o.VolumeSizeFor(second), 200000);

    TZASpanningOptions copy;
    copy.Assign(&o);
    EXPECT_EQ(copy.FirstVolumeSize, 70000);
    EXPECT_EQ(copy.VolumeSize, vsCustom);
    EXPECT_EQ(copy.CustomVolumeSize(), 200000);
    EXPECT_TRUE(copy.AdvancedNaming);
}

std::string NameOf(TZipArchiver& zip, std::string name, int number, bool check = false)
{
    zip.VolumeFileName(name, number, check);
    return name;
}

TEST(VolumeNames, SplitArchive)
{
    TZipArchiver zip;
    zip.SetSpanningMode(smSplitting);
    zip.SpanningOptions().AdvancedNaming = false;
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", 0), "D:\\pack.Z01");
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", 1), "D:\\pack.Z02");
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", -1), "D:\\pack.zip");
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", 99), "D:\\pack.Z100");
    zip.SpanningOptions().AdvancedNaming = true;
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", 0), "D:\\pack_001.zip");
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", 1), "D:\\pack_002.zip");
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", 1233), "D:\\pack_1234.zip");
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", -1), "D:\\pack.zip");
    EXPECT_EQ(NameOf(zip, "/data/pack", 0), "/data/pack_001");
}

TEST(VolumeNames, SplitSelfExtractor)
{
    TZipArchiver zip;
    zip.SetSpanningMode(smSplitting);
    zip.SpanningOptions().AdvancedNaming = false;
    EXPECT_EQ(NameOf(zip, "D:\\pack.exe", 0), "D:\\pack.exe");
    EXPECT_EQ(NameOf(zip, "D:\\pack.exe", 1), "D:\\pack.Z02");
    EXPECT_EQ(NameOf(zip, "D:\\pack.exe", -1), "D:\\pack.ZIP");
    zip.SpanningOptions().AdvancedNaming = true;
    EXPECT_EQ(NameOf(zip, "D:\\pack.exe", 1), "D:\\pack_002.exe");
    // A stub set for a new archive counts as a self-extractor too.
    zip.SFXStub = "stub.bin";
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", 0), "D:\\pack.exe");
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", -1), "D:\\pack.ZIP");
}

TEST(VolumeNames, SpannedAndSingle)
{
    TZipArchiver zip;
    EXPECT_EQ(NameOf(zip, "D:\\pack.zip", 3), "D:\\pack.zip");  // smNone: unchanged
    zip.SetSpanningMode(smSpanning);
    EXPECT_EQ(NameOf(zip, "A:\\pack.zip", 0), "A:\\pack_001.zip");
    EXPECT_EQ(NameOf(zip, "A:\\pack.zip", -1), "A:\\pack.zip");
    zip.SpanningOptions().AdvancedNaming = false;
    EXPECT_EQ(NameOf(zip, "A:\\pack.zip", 4), "A:\\pack.zip");
    EXPECT_EQ(NameOf(zip, "A:\\pack.exe", 4), "A:\\pack.exe");
    zip.SpanningOptions().AdvancedNaming = true;
    EXPECT_EQ(NameOf(zip, "A:\\pack.exe", 4), "A:\\pack_005.exe");
}

class VolumeFiles : public ArchiverTest {
protected:
    // A small archive by Python's zipfile whose end record then names disk `disk` as its own (and
    // as the directory's).
    std::string ArchiveOnDisk(const std::string& name, int disk)
    {
        const std::string path = Path(name);
        EXPECT_TRUE(Python("import struct\n"
                           "with zipfile.ZipFile(path, 'w') as z:\n"
                           "    z.writestr('one.txt', 'one')\n"
                           "    z.writestr('two.txt', 'two')\n"
                           "data = bytearray(open(path, 'rb').read())\n"
                           "e = data.rfind(b'PK\\x05\\x06')\n"
                           "struct.pack_into('<HH', data, e + 4, " + std::to_string(disk) + ", " +
                               std::to_string(disk) + ")\n"
                           "open(path, 'wb').write(data)\n",
                           path));
        return path;
    }

    // A small archive whose end record holds 0xFFFF disk fields and whose ZIP64 locator says how
    // many disks there are.
    std::string Zip64ArchiveWithDisks(const std::string& name, int totalDisks)
    {
        const std::string path = Path(name);
        EXPECT_TRUE(Python("import struct\n"
                           "with zipfile.ZipFile(path, 'w') as z:\n"
                           "    z.writestr('one.txt', 'one')\n"
                           "data = open(path, 'rb').read()\n"
                           "e = data.rfind(b'PK\\x05\\x06')\n"
                           "sig, d, cd, n1, n2, size, off, cl = struct.unpack('<IHHHHIIH', data[e:e+22])\n"
                           "last = " + std::to_string(totalDisks - 1) + "\n"
                           "z64 = struct.pack('<IQHHIIQQQQ', 0x06064b50, 44, 45, 45, last, last, n1, n2, size, off)\n"
                           "loc = struct.pack('<IIQI', 0x07064b50, last, e, " + std::to_string(totalDisks) + ")\n"
                           "end = struct.pack('<IHHHHIIH', sig, 0xFFFF, 0xFFFF, n1, n2, size, off, 0)\n"
                           "open(path, 'wb').write(data[:e] + z64 + loc + end)\n",
                           path));
        return path;
    }
};

TEST_F(VolumeFiles, DiskZeroIsSingleEvenWithVolumeNamesBeside)
{
    TZipArchiver zip;
    zip.FileName = ArchiveOnDisk("pack.zip", 0);
    WriteAll(Path("pack.Z01"), "x");
    WriteAll(Path("pack_001.zip"), "x");
    zip.OpenArchive();
    EXPECT_EQ(zip.SpanningMode(), smNone);
    EXPECT_TRUE(zip.SpanningOptions().AdvancedNaming);
}

TEST_F(VolumeFiles, PlainNamedVolumeBesideMakesASplitArchive)
{
    TZipArchiver zip;
    zip.FileName = ArchiveOnDisk("pack.zip", 2);
    WriteAll(Path("pack.Z02"), "x");
    zip.OpenArchive();
    EXPECT_EQ(zip.SpanningMode(), smSplitting);
    EXPECT_FALSE(zip.SpanningOptions().AdvancedNaming);
    EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 2);
}

TEST_F(VolumeFiles, LowerCaseVolumeNamesAreFound)
{
    TZipArchiver zip;
    zip.FileName = ArchiveOnDisk("pack.zip", 2);
    WriteAll(Path("pack.z02"), "x");
    zip.OpenArchive();
    EXPECT_EQ(zip.SpanningMode(), smSplitting);
    EXPECT_FALSE(zip.SpanningOptions().AdvancedNaming);
}

TEST_F(VolumeFiles, AdvancedNamedVolumeBesideKeepsTheNaming)
{
    TZipArchiver zip;
    zip.FileName = ArchiveOnDisk("pack.zip", 2);
    WriteAll(Path("pack_002.zip"), "x");
    zip.OpenArchive();
    EXPECT_EQ(zip.SpanningMode(), smSplitting);
    EXPECT_TRUE(zip.SpanningOptions().AdvancedNaming);
}

TEST_F(VolumeFiles, NoVolumeBesideCountsAsSpanned)
{
    TZipArchiver zip;
    zip.FileName = ArchiveOnDisk("pack.zip", 2);
    zip.OpenArchive();
    EXPECT_EQ(zip.SpanningMode(), smSpanning);
    EXPECT_TRUE(zip.SpanningOptions().AdvancedNaming);  // flipped back
}

// A ZIP64 archive's 0xFFFF disk field is resolved through the locator when the spanning
// mode is detected.
TEST_F(VolumeFiles, Zip64DiskFieldIsTakenFromTheLocator)
{
    TZipArchiver zip;
    zip.FileName = Zip64ArchiveWithDisks("one.zip", 1);
    ASSERT_TRUE(Python("assert len(zipfile.ZipFile(path).infolist()) == 1", zip.FileName));
    zip.OpenArchive();
    EXPECT_EQ(zip.SpanningMode(), smNone);
    EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 1);
    zip.CloseArchive();

    zip.FileName = Zip64ArchiveWithDisks("three.zip", 3);
    WriteAll(Path("three.z02"), "x");
    zip.OpenArchive();
    EXPECT_EQ(zip.SpanningMode(), smSplitting);
}

TEST_F(VolumeFiles, SplitArchiveOfInfoZipOpensAndExtracts)
{
    if (!HaveTool("zip"))
        GTEST_SKIP() << "zip is not installed";
    std::string payload;
    for (int i = 0; i < 40000; ++i)
        payload += std::to_string(i * 7919 % 100003) + (i % 13 == 0 ? "\n" : " ");
    ASSERT_TRUE(Shell("mkdir -p '" + Path("src") + "'"));
    WriteAll(Path("src/big.txt"), payload);
    WriteAll(Path("src/small.txt"), "small");
    ASSERT_TRUE(Shell("cd '" + Path("src") + "' && zip -q -0 -s 64k ../split.zip big.txt small.txt"));
    ASSERT_TRUE(Exists(Path("split.z01")));

    TZipArchiver zip;
    zip.FileName = Path("split.zip");
    zip.BaseDir = Path("out") + "/";
    zip.OpenArchive();
    EXPECT_EQ(zip.SpanningMode(), smSplitting);
    EXPECT_FALSE(zip.SpanningOptions().AdvancedNaming);
    ASSERT_EQ(zip.DirManager->CurrentDir.Count(), 2);
    zip.ExtractFiles("*.*", 10431, "");
    zip.CloseArchive();
    EXPECT_EQ(ReadAll(Path("out/big.txt")), payload);
    EXPECT_EQ(ReadAll(Path("out/small.txt")), "small");
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(VolumeFiles, MissingMiddleVolumeOfASplitArchiveRaisesCode45)
{
    if (!HaveTool("zip"))
        GTEST_SKIP() << "zip is not installed";
    std::string payload(300000, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>((i * 2654435761u) >> 13);
    ASSERT_TRUE(Shell("mkdir -p '" + Path("src") + "'"));
    WriteAll(Path("src/noise.bin"), payload);
    ASSERT_TRUE(Shell("cd '" + Path("src") + "' && zip -q -0 -s 64k ../split.zip noise.bin"));
    ASSERT_TRUE(Shell("rm '" + Path("split.z02") + "'"));

    TZipArchiver zip;
    zip.FileName = Path("split.zip");
    zip.BaseDir = Path("out") + "/";
    zip.OpenArchive();  // the directory is on the last volume
    int failures = 0;
    zip.OnProcessFileFailure = [&](TZABaseArchiver*, const std::string&, TZAProcessOperation, int32_t native,
                                   int32_t, const std::string&, TZAAction& action) {
        EXPECT_EQ(native, 45);
        ++failures;
        action = fxaIgnore;
    };
    try {
        zip.ExtractFiles("*.*", 10431, "");
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 45);  // reported, never taken for success
    }
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(VolumeFiles, SelfExtractorHoldingItsDirectoryOpensAsSingle)
{
    const std::string zip = ReadAll(ArchiveOnDisk("inner.zip", 0));
    WriteAll(Path("pack.exe"), std::string(3000, 'M') + zip);
    TZipArchiver archiver;
    archiver.FileName = Path("pack.exe");
    archiver.OpenArchive();
    EXPECT_EQ(archiver.SpanningMode(), smNone);
    EXPECT_EQ(archiver.CurrentVolumeName, Path("pack.exe"));
    EXPECT_EQ(archiver.DirManager->CurrentDir.Count(), 2);
    EXPECT_TRUE(archiver.RebuildDamagedDirectory);
}

TEST_F(VolumeFiles, SelfExtractorWithoutDirectoryTakesItsZipVolume)
{
    WriteAll(Path("pack.exe"), std::string(3000, 'M'));
    ArchiveOnDisk("pack.ZIP", 0);
    TZipArchiver archiver;
    archiver.FileName = Path("pack.exe");
    archiver.OpenArchive();
    EXPECT_EQ(archiver.CurrentVolumeName, Path("pack.ZIP"));
    EXPECT_EQ(archiver.SpanningMode(), smNone);
    EXPECT_EQ(archiver.DirManager->CurrentDir.Count(), 2);
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(VolumeFiles, NoEndRecordOnAFixedDriveIsRebuiltAsSingle)
{
    TZipArchiver zip;
    zip.FileName = ArchiveOnDisk("pack.zip", 0);
    std::string bytes = ReadAll(zip.FileName);
    WriteAll(zip.FileName, bytes.substr(0, bytes.size() - 22));
    zip.OpenArchive();
    EXPECT_EQ(zip.SpanningMode(), smNone);
    EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 2);
}

TEST_F(VolumeFiles, NoEndRecordOnARemovableDriveAsksForTheLastDisk)
{
    rtl::SetRemovableFolderForTests(Dir(), "DISK", 10'000'000);
    TZipArchiver zip;
    zip.FileName = ArchiveOnDisk("pack.zip", 0);
    std::string bytes = ReadAll(zip.FileName);
    WriteAll(zip.FileName, bytes.substr(0, bytes.size() - 22));
    dialogs_.PushResult(rtl::mrOk);  // the same disk again; then the dialog is closed
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchive(); }), 45);
    EXPECT_FALSE(zip.IsOpen);
    EXPECT_EQ(zip.ArchiveStream, nullptr);
    const auto log = dialogs_.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].Text, "Please insert the last disk");
    EXPECT_EQ(log[1].Text, "Please insert the last disk");
    EXPECT_EQ(log[0].Type, rtl::mtConfirmation);
    EXPECT_EQ(log[0].Buttons, rtl::mbOKCancel);
}

TEST_F(VolumeFiles, SpannedArchiveOnARemovableDiskGetsLabelAndFinalName)
{
    rtl::SetRemovableFolderForTests(Dir(), "BLANK", 10'000'000);
    TZipArchiver zip;
    zip.SetSpanningMode(smSpanning);
    zip.FileName = Path("pack.zip");
    dialogs_.PushResult(rtl::mrOk);  // the blank disk is in
    zip.OpenArchive();
    EXPECT_EQ(zip.CurrentVolumeName, Path("pack_001.zip"));
    EXPECT_EQ(rtl::GetVolumeLabel(Dir()), "pkback# 001");
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(dialogs_.Log()[0].Text, "Please insert a blank disk #1");
    zip.CloseArchive();
    EXPECT_FALSE(Exists(Path("pack_001.zip")));
    EXPECT_EQ(ReadAll(Path("pack.zip")).size(), 22u);
}

TEST_F(VolumeFiles, FullRemovableDiskAsksAndCancelRaisesCode45)
{
    rtl::SetRemovableFolderForTests(Dir(), "SMALL", 65536);  // 65,536 free is never enough
    TZipArchiver zip;
    zip.SetSpanningMode(smSpanning);
    zip.FileName = Path("pack.zip");
    dialogs_.PushResult(rtl::mrOk);      // blank disk #1
    dialogs_.PushResult(rtl::mrCancel);  // disk full: give up
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchive(); }), 45);
    const auto log = dialogs_.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].Text,
              "Disk is full. Required free space: -1 bytes, but available only: 65536 bytes. "
              "Clean the disk or find another blank disk");
    EXPECT_EQ(log[1].Buttons, rtl::mbOKCancel);
    EXPECT_FALSE(zip.IsOpen);
    EXPECT_EQ(zip.ArchiveStream, nullptr);
}

TEST_F(VolumeFiles, SplitVolumeOnAFullDiskFailsWithoutAsking)
{
    rtl::SetRemovableFolderForTests(Dir(), "SMALL", 1000);
    TZipArchiver zip;
    zip.SetSpanningMode(smSplitting);
    zip.FileName = Path("pack.zip");
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchive(); }), 45);
    EXPECT_TRUE(dialogs_.Log().empty());
}

}  // namespace
