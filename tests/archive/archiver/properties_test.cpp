// Defaults and setters of the archiver, its option objects and the library lock.
#include <atomic>
#include <thread>

#include "tests/archive/archiver/fixture.h"

namespace {

TEST(ArchiverDefaults, ZipArchiverStartsWithTheDocumentedValues)
{
    TZipArchiver zip;
    EXPECT_FALSE(zip.ExtractCorruptedFiles);
    EXPECT_EQ(zip.CompressionLevel(), clFastest);
    EXPECT_EQ(zip.CompressionMode(), 1);
    EXPECT_EQ(zip.CompressionMethod, 8);
    EXPECT_EQ(zip.CurrentVersion(), "2.67 ");
    EXPECT_EQ(zip.SpanningMode(), smNone);
    EXPECT_FALSE(zip.InMemory());
    EXPECT_FALSE(zip.IsOpen);
    EXPECT_TRUE(zip.UsesZipFormat);
    EXPECT_TRUE(zip.RebuildDamagedDirectory);
    EXPECT_EQ(zip.Zip64Mode, zmDisabled);
    EXPECT_EQ(zip.PendingUpdateCount, 0);
    EXPECT_TRUE(zip.FileMasks().empty());
    EXPECT_TRUE(zip.ExclusionMasks().empty());
    EXPECT_TRUE(zip.NoCompressionMasks().empty());
    EXPECT_EQ(zip.DirManager, nullptr);
    EXPECT_EQ(zip.ArchiveStream, nullptr);
    EXPECT_EQ(zip.VolumeInfo.VolumeRole, TZAVolumeNumberInfo::vrNotSet);
    EXPECT_EQ(zip.VolumeInfo.VolumeNumber, -1);
}

TEST(ArchiverDefaults, BaseClassHasNoMethodAndZip64Auto)
{
    TZABaseArchiver base;
    EXPECT_EQ(base.CompressionMethod, -1);
    EXPECT_EQ(base.Zip64Mode, zmAuto);
    EXPECT_FALSE(base.UsesZipFormat);
}

TEST(ArchiverDefaults, OptionsAndSpanningOptions)
{
    TZipArchiver zip;
    const TZAOptions& o = zip.Options();
    EXPECT_EQ(o.StorePath, spRelativePath);
    EXPECT_TRUE(o.Recurse);
    EXPECT_EQ(o.ShareMode, smShareDenyNone);
    EXPECT_EQ(o.OverwriteMode, omAlways);
    EXPECT_TRUE(o.CreateDirs);
    EXPECT_TRUE(o.ReplaceReadOnly);
    EXPECT_TRUE(o.SetAttributes);
    EXPECT_EQ(o.SearchAttr, 10431);
    EXPECT_TRUE(o.FlushBuffers);
    EXPECT_TRUE(o.OEMFileNames);
    const TZASpanningOptions& s = zip.SpanningOptions();
    EXPECT_TRUE(s.AdvancedNaming);
    EXPECT_EQ(s.FirstVolumeSize, 0);
    EXPECT_EQ(s.VolumeSize, vsAutoDetect);
    EXPECT_EQ(s.CustomVolumeSize(), 0);
}

TEST(ArchiverSetters, CompressionLevelAndModeFollowEachOther)
{
    TZipArchiver zip;
    zip.SetCompressionLevel(clMax);
    EXPECT_EQ(zip.CompressionMode(), 9);
    zip.SetCompressionLevel(clNormal);
    EXPECT_EQ(zip.CompressionMode(), 6);
    zip.SetCompressionLevel(clNone);
    EXPECT_EQ(zip.CompressionMode(), 0);
    EXPECT_EQ(zip.CompressionMethod, 0);  // stored

    const TZACompressionLevel expected[] = {clNone, clFastest, clFastest, clFastest, clNormal,
                                            clNormal, clNormal, clMax, clMax, clMax};
    for (uint8_t mode = 0; mode <= 9; ++mode) {
        zip.SetCompressionMode(mode);
        EXPECT_EQ(zip.CompressionLevel(), expected[mode]) << int(mode);
        EXPECT_EQ(zip.CompressionMethod, mode == 0 ? 0 : 8) << int(mode);
    }
}

TEST(ArchiverSetters, CompressionModeAboveNineRaisesCode5AndChangesNothing)
{
    TZipArchiver zip;
    zip.SetCompressionMode(5);
    EXPECT_EQ(NativeErrorOf([&] { zip.SetCompressionMode(10); }), 5);
    EXPECT_EQ(zip.CompressionMode(), 5);
    EXPECT_EQ(zip.CompressionLevel(), clNormal);
}

TEST(ArchiverSetters, ExceptionMessageCarriesTheComponentName)
{
    TZipArchiver zip;
    zip.Name = "zip_archiver";
    try {
        zip.SetCompressionMode(12);
        FAIL() << "no exception";
    } catch (const EZAException& e) {
        EXPECT_EQ(e.Message(),
                  "zip_archiver: Invalid compression mode. Mode must be in [0-9] range - Native error: 00005");
        EXPECT_EQ(e.ErrorCode, 2);
    }
    zip.Name.clear();
    try {
        zip.CheckActive();
        FAIL() << "no exception";
    } catch (const EZAException& e) {
        EXPECT_EQ(e.Message(), "Archive is not open - Native error: 00013");
    }
}

TEST(ArchiverSetters, CurrentVersionIgnoresWrites)
{
    TZipArchiver zip;
    zip.SetCurrentVersion("9.99");
    EXPECT_EQ(zip.CurrentVersion(), "2.67 ");
}

TEST(ArchiverSetters, MaskListsAreCopies)
{
    TZipArchiver zip;
    std::vector<std::string> masks{"*.txt", "*.htm"};
    zip.SetFileMasks(masks);
    zip.SetExclusionMasks({"a*"});
    zip.SetNoCompressionMasks({"*.jpg"});
    masks.clear();
    EXPECT_EQ(zip.FileMasks(), (std::vector<std::string>{"*.txt", "*.htm"}));
    EXPECT_EQ(zip.ExclusionMasks(), std::vector<std::string>{"a*"});
    EXPECT_EQ(zip.NoCompressionMasks(), std::vector<std::string>{"*.jpg"});
}

TEST(ArchiverSetters, SpanningModeCannotChangeOnAnOpenArchive)
{
    TZipArchiver zip;
    zip.SetSpanningMode(smSplitting);
    EXPECT_EQ(zip.SpanningMode(), smSplitting);
    zip.SetSpanningMode(smNone);
    zip.SetInMemory(true);
    zip.OpenArchive();
    try {
        zip.SetSpanningMode(smSplitting);
        FAIL() << "no exception";
    } catch (const EZAException&) {
        FAIL() << "plain exception expected";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "Cannot set spanning mode on open archive");
    }
    EXPECT_EQ(zip.SpanningMode(), smNone);
}

TEST(ArchiverOptions, AssignCopiesAllTenOptions)
{
    TZAOptions a;
    a.StorePath = spFullPathWithDrive;
    a.Recurse = false;
    a.ShareMode = smShareExclusive;
    a.OverwriteMode = omIfOlder;
    a.CreateDirs = false;
    a.ReplaceReadOnly = false;
    a.SetAttributes = false;
    a.SearchAttr = 0x21;
    a.FlushBuffers = false;
    a.OEMFileNames = false;
    TZAOptions b;
    b.Assign(&a);
    EXPECT_EQ(b.StorePath, spFullPathWithDrive);
    EXPECT_FALSE(b.Recurse);
    EXPECT_EQ(b.ShareMode, smShareExclusive);
    EXPECT_EQ(b.OverwriteMode, omIfOlder);
    EXPECT_FALSE(b.CreateDirs);
    EXPECT_FALSE(b.ReplaceReadOnly);
    EXPECT_FALSE(b.SetAttributes);
    EXPECT_EQ(b.SearchAttr, 0x21);
    EXPECT_FALSE(b.FlushBuffers);
    EXPECT_FALSE(b.OEMFileNames);

    TZipArchiver zip;
    zip.SetOptions(a);
    EXPECT_EQ(zip.Options().OverwriteMode, omIfOlder);
}

TEST(ArchiverOptions, UnlikeSourcesCannotBeAssigned)
{
    TZAOptions options;
    TZASpanningOptions spanning;
    try {
        options.Assign(&spanning);
        FAIL() << "no exception";
    } catch (const rtl::EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TZASpanningOptions to a TZAOptions");
    }
    try {
        spanning.Assign(nullptr);
        FAIL() << "no exception";
    } catch (const rtl::EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a nil to a TZASpanningOptions");
    }
}

TEST(ArchiverState, UpdateChecks)
{
    TZipArchiver zip;
    EXPECT_FALSE(zip.InUpdate());
    EXPECT_EQ(NativeErrorOf([&] { zip.CheckNoUpdate(); }), -1);
    zip.PendingUpdateCount = 2;
    EXPECT_TRUE(zip.InUpdate());
    EXPECT_EQ(NativeErrorOf([&] { zip.CheckNoUpdate(); }), 26);
    zip.DropPendingUpdate();
    EXPECT_EQ(zip.PendingUpdateCount, 0);
    zip.PendingUpdateCount = -1;  // never raised below zero by the library; drop leaves it
    zip.DropPendingUpdate();
    EXPECT_EQ(zip.PendingUpdateCount, -1);
}

TEST(ArchiverState, ExeNamesByExtension)
{
    EXPECT_TRUE(TZABaseArchiver::IsExeName("C:\\x\\pack.exe"));
    EXPECT_TRUE(TZABaseArchiver::IsExeName("pack.EXE"));
    EXPECT_TRUE(TZABaseArchiver::IsExeName("pack.exex"));
    EXPECT_FALSE(TZABaseArchiver::IsExeName("pack.exe\\data.zip"));
    EXPECT_FALSE(TZABaseArchiver::IsExeName("exe.zip"));
}

TEST(ArchiverState, LockSerialisesAcrossThreadsAndNests)
{
    TZABaseArchiver::LockArchivers();
    TZABaseArchiver::LockArchivers();  // the same thread may enter again
    std::atomic<bool> entered{false};
    std::thread other([&] {
        TZABaseArchiver::LockArchivers();
        entered = true;
        TZABaseArchiver::UnlockArchivers();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered);
    TZABaseArchiver::UnlockArchivers();
    TZABaseArchiver::UnlockArchivers();
    other.join();
    EXPECT_TRUE(entered);
}

}  // namespace
