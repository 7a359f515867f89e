// Extraction of entries into files: checks of the data, hostile archives, passwords, failures,
// overwrite rules and selection by mask. Archives are built byte by byte (zip_builder.h).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "archive/ZAExcept.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"
#include "tests/archive/extract/zip_builder.h"

namespace fs = std::filesystem;
using ziptest::TEntry;

namespace {

std::string Slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Spit(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string Noise(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(gen());
    return s;
}

// Every path below root, relative, sorted.
std::vector<std::string> Tree(const fs::path& root)
{
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(root))
        names.push_back(fs::relative(e.path(), root).generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

class ExtractTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        root_ = fs::temp_directory_path() / ("zaextract_" + std::to_string(rd()));
        out_ = root_ / "out";
        fs::create_directories(out_);
        rtl::SetDialogService(&dialogs_);
    }
    void TearDown() override
    {
        rtl::SetDialogService(nullptr);
        archiver_.reset();
        for (const auto& e : fs::recursive_directory_iterator(root_))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root_);
    }

    TZipArchiver& Open(const std::vector<TEntry>& entries)
    {
        Spit(root_ / "a.zip", ziptest::BuildZip(entries));
        archiver_ = std::make_unique<TZipArchiver>();
        archiver_->Name = "zip_archiver";
        archiver_->FileName = (root_ / "a.zip").string();
        archiver_->BaseDir = out_.string() + "/";
        archiver_->OpenArchive();
        return *archiver_;
    }

    // Extracts everything; failures are recorded and ignored.
    void ExtractAll(TZipArchiver& a)
    {
        a.OnProcessFileFailure = [this](TZABaseArchiver*, const std::string& name, TZAProcessOperation,
                                        int32_t native, int32_t, const std::string& msg, TZAAction& action) {
            failures_.push_back({name, native, msg});
            action = fxaIgnore;
        };
        a.ExtractFiles("*.*", 10431, "");
    }

    struct TFailure {
        std::string Name;
        int32_t Native;
        std::string Message;
    };

    fs::path root_, out_;
    rtl::ScriptedDialogs dialogs_;
    std::unique_ptr<TZipArchiver> archiver_;
    std::vector<TFailure> failures_;
};

TEST_F(ExtractTest, StoredDeflatedEmptyAndFoldersExtractExactly)
{
    const std::string text(300000, 'q');
    const std::string noise = Noise(2500000, 1);
    auto& a = Open({TEntry("docs/", "").method(0).attr(0x10),
                    TEntry("docs/text.txt", text),
                    TEntry("bin/noise.dat", noise).method(0),
                    TEntry("bin/noise.z", noise),
                    TEntry("empty", "").method(0)});
    ExtractAll(a);
    EXPECT_TRUE(failures_.empty());
    EXPECT_EQ(Slurp(out_ / "docs/text.txt"), text);
    EXPECT_EQ(Slurp(out_ / "bin/noise.dat"), noise);
    EXPECT_EQ(Slurp(out_ / "bin/noise.z"), noise);
    EXPECT_TRUE(fs::is_regular_file(out_ / "empty"));
    EXPECT_EQ(fs::file_size(out_ / "empty"), 0u);
    EXPECT_TRUE(fs::is_directory(out_ / "docs"));
    EXPECT_EQ(a.IgnoredFailures(), 0);
    // Only the entries themselves: no scratch file is left behind.
    EXPECT_EQ(Tree(out_), (std::vector<std::string>{"bin", "bin/noise.dat", "bin/noise.z", "docs",
                                                    "docs/text.txt", "empty"}));
}

TEST_F(ExtractTest, OemNamesLandAsUtf8Names)
{
    // "Привет" in cp866, as archivers without the UTF-8 flag store it.
    auto& a = Open({TEntry("\x8F\xE0\xA8\xA2\xA5\xE2/\x8F\xE0\xA8\xA2\xA5\xE2.txt", "hello")});
    ExtractAll(a);
    EXPECT_TRUE(failures_.empty());
    EXPECT_EQ(Slurp(out_ / "Привет" / "Привет.txt"), "hello");
}

TEST_F(ExtractTest, ProgressFollowsTheBlocksOfAnEntry)
{
    const std::string noise = Noise(2500000, 3);  // three input blocks of at most 1 MB
    auto& a = Open({TEntry("big.bin", noise).method(0), TEntry("small.txt", "s")});
    struct TEvent {
        std::string Name;
        double Progress;
        TZAProgressPhase Phase;
    };
    std::vector<TEvent> file;
    std::vector<TEvent> overall;
    a.OnFileProgress = [&](TZABaseArchiver*, const std::string& name, double progress, TZAProcessOperation op,
                           TZAProgressPhase phase, bool&) {
        EXPECT_EQ(op, poExtract);
        file.push_back({name, progress, phase});
    };
    a.OnOverallProgress = [&](TZABaseArchiver*, double progress, TZAProcessOperation, TZAProgressPhase phase,
                              bool&) { overall.push_back({"", progress, phase}); };
    ExtractAll(a);
    ASSERT_EQ(file.size(), 8u);  // big: start, three blocks, end; small: start, one block, end
    EXPECT_EQ(file[0].Phase, ppStart);
    EXPECT_EQ(file[1].Phase, ppProcess);
    EXPECT_DOUBLE_EQ(file[1].Progress, 0.0);
    EXPECT_NEAR(file[2].Progress, 100.0 * 1048576 / 2500000, 1e-9);
    EXPECT_NEAR(file[3].Progress, 100.0 * 2097152 / 2500000, 1e-9);
    EXPECT_EQ(file[4].Phase, ppEnd);
    EXPECT_DOUBLE_EQ(file[4].Progress, 100.0);
    EXPECT_EQ(file[5].Name, "small.txt");
    ASSERT_GE(overall.size(), 2u);
    EXPECT_EQ(overall.front().Phase, ppStart);
    EXPECT_EQ(overall.back().Phase, ppEnd);
    EXPECT_DOUBLE_EQ(overall.back().Progress, 100.0);
    EXPECT_NEAR(overall[2].Progress, 100.0 * (1048576.0 / 2500000) / 2, 1e-9);  // half of the first of two
}

TEST_F(ExtractTest, DateAndReadOnlyAttributeAreApplied)
{
    auto& a = Open({TEntry("ro.txt", "x").time(0x7A10).date(0x5A21).attr(0x21)});
    ExtractAll(a);
    EXPECT_EQ(rtl::FileAge((out_ / "ro.txt").string()), static_cast<int32_t>((0x5A21u << 16) | 0x7A10u));
    EXPECT_EQ(rtl::FileGetAttr((out_ / "ro.txt").string()) & 1, 1);
}

// Inflate fails as soon as the output passes the entry's size (zip bombs).
TEST_F(ExtractTest, BombIsRefusedWithoutWritingItsOutput)
{
    auto& a = Open({TEntry("bomb.txt", std::string(64 << 20, '\0')).usize(1000),
                    TEntry("next.txt", "after")});
    ExtractAll(a);
    ASSERT_EQ(failures_.size(), 1u);
    EXPECT_EQ(failures_[0].Native, 8);
    EXPECT_FALSE(fs::exists(out_ / "bomb.txt"));
    EXPECT_EQ(Slurp(out_ / "next.txt"), "after");
    EXPECT_EQ(a.IgnoredFailures(), 1);
}

TEST_F(ExtractTest, TruncatedStreamWrongCrcAndForeignMethodsFailWithCode8)
{
    const std::string text = Noise(100000, 2);
    const std::string packed = ziptest::Deflate(text);
    auto& a = Open({TEntry("cut.bin", text).raw(packed.substr(0, packed.size() / 2)),
                    TEntry("crc.bin", text).crc(0x12345678),
                    TEntry("m12.bin", "abc").method(12).version(10),
                    TEntry("m14.bin", "abc").method(14).version(63),
                    TEntry("nosig.bin", "abc").badSignature()});
    ExtractAll(a);
    ASSERT_EQ(failures_.size(), 5u);
    for (const auto& f : failures_) {
        EXPECT_EQ(f.Native, 8) << f.Name;
        EXPECT_NE(f.Message.find("zip_archiver: Invalid size or check sum"), std::string::npos) << f.Message;
    }
    EXPECT_TRUE(Tree(out_).empty());
}

// Data that runs into the next entry or the directory fails as soon as it passes the
// entry's size; the next entry is not disturbed.
// Data that runs over the next entry's header would hand out the same bytes twice: the archive is
// refused as damaged before anything is written.
TEST_F(ExtractTest, OverlongCompressedSizeRefusesTheArchive)
{
    Spit(root_ / "a.zip", ziptest::BuildZip({TEntry("first.bin", "0123456789").method(0).csize(40),
                                             TEntry("second.txt", "second")}));
    TZipArchiver a;
    a.FileName = (root_ / "a.zip").string();
    a.BaseDir = out_.string() + "/";
    int native = -1;
    try {
        a.OpenArchive();
    } catch (const EZAException& e) {
        native = e.NativeError;
    }
    EXPECT_EQ(native, 57);
    EXPECT_TRUE(Tree(out_).empty());
}

// Entries made on Unix get the permission bits they store for a regular file, masked by the umask,
// never setuid, setgid or sticky; entries of other hosts only the read-only attribute.
TEST_F(ExtractTest, PermissionsFollowTheHostThatMadeTheEntry)
{
    struct {
        const char* name;
        uint16_t madeBy;
        uint32_t attributes;
        unsigned mode;
    } const cases[] = {
        {"tool.sh", 0x0314, 0100755u << 16, 0755},
        {"secret.key", 0x0314, 0100600u << 16, 0600},
        {"setuid.bin", 0x0314, (0104755u << 16) | 0x20, 0755},
        {"sticky.txt", 0x0314, (0101644u << 16) | 0x20, 0644},
        {"dos.txt", 0x0014, 0x21, 0444},
        {"shared.txt", 0x0314, 0100666u << 16, 0644},  // the umask applies
        {"bare.sh", 0x0314, 0777u << 16, 0755},        // no file type: a regular file's bits
        {"link", 0x0314, 0120777u << 16, 0644},        // a link or FIFO entry: a plain default file
        {"fifo", 0x0314, 0010666u << 16, 0644},
        {"folder/", 0x0314, (0040777u << 16) | 0x10, 0755},
    };
    std::vector<TEntry> entries;
    for (const auto& c : cases)
        entries.push_back(TEntry(c.name, "data").madeBy(c.madeBy).attr(c.attributes));
    auto& a = Open(entries);
    const mode_t saved = ::umask(022);
    ExtractAll(a);
    ::umask(saved);
    EXPECT_TRUE(failures_.empty());
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<unsigned>(fs::status(out_ / c.name).permissions()), c.mode) << c.name;
}

TEST_F(ExtractTest, Deflate64IsCode55)
{
    auto& a = Open({TEntry("d64.bin", "abc").method(9)});
    ExtractAll(a);
    ASSERT_EQ(failures_.size(), 1u);
    EXPECT_EQ(failures_[0].Native, 55);
}

TEST_F(ExtractTest, CorruptedOutputIsKeptWhenAskedFor)
{
    auto& a = Open({TEntry("crc.txt", "payload").crc(1)});
    a.ExtractCorruptedFiles = true;
    ExtractAll(a);
    EXPECT_TRUE(failures_.empty());
    EXPECT_EQ(Slurp(out_ / "crc.txt"), "payload");
}

// An existing target is replaced only by a complete, checked file.
TEST_F(ExtractTest, ExistingTargetIsUntouchedByAFailedEntry)
{
    Spit(out_ / "keep.txt", "old contents");
    auto& a = Open({TEntry("keep.txt", "new contents").crc(7)});
    ExtractAll(a);
    ASSERT_EQ(failures_.size(), 1u);
    EXPECT_EQ(Slurp(out_ / "keep.txt"), "old contents");
    EXPECT_EQ(Tree(out_), std::vector<std::string>{"keep.txt"});
}

TEST_F(ExtractTest, ReadOnlyTargetIsReplacedOnlyWhenAllowed)
{
    Spit(out_ / "ro.txt", "old");
    rtl::FileSetAttr((out_ / "ro.txt").string(), 1);
    auto& a = Open({TEntry("ro.txt", "new")});
    a.Options().ReplaceReadOnly = false;
    ExtractAll(a);
    EXPECT_EQ(Slurp(out_ / "ro.txt"), "old");
    a.Options().ReplaceReadOnly = true;
    ExtractAll(a);
    EXPECT_EQ(Slurp(out_ / "ro.txt"), "new");
    EXPECT_TRUE(failures_.empty());
}

// Extraction never writes outside BaseDir; code 19 names the entry, before any folder is made.
TEST_F(ExtractTest, TraversalAndAbsoluteNamesAreRefused)
{
    const std::vector<std::string> names = {"../evil1.txt", "sub/../../evil2.txt", "made/..\\..\\evil3.txt",
                                            "/tmp/evil4.txt", "\\evil5.txt", "C:\\evil6.txt",
                                            "c:evil7.txt", "\\\\server\\share\\evil8.txt", "a//b.txt", ".."};
    std::vector<TEntry> entries;
    for (const auto& n : names)
        entries.push_back(TEntry(n, "evil"));
    entries.push_back(TEntry("fine.txt", "fine"));
    auto& a = Open(entries);
    ExtractAll(a);
    ASSERT_EQ(failures_.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(failures_[i].Native, 19);
        std::string shown = names[i];
        for (char& c : shown)
            if (c == '/')
                c = '\\';
        EXPECT_NE(failures_[i].Message.find("Cannot create file \"" + shown + "\""), std::string::npos) << failures_[i].Message;
    }
    EXPECT_EQ(Tree(root_), (std::vector<std::string>{"a.zip", "out", "out/fine.txt"}));
    EXPECT_EQ(a.IgnoredFailures(), static_cast<int32_t>(names.size()));
}

TEST_F(ExtractTest, NameChangedByHandlerIsCheckedToo)
{
    auto& a = Open({TEntry("ok.txt", "x")});
    a.OnExtractFile = [](TZABaseArchiver*, std::string& name, uint32_t&, const std::string&) {
        name = "..\\escaped.txt";
    };
    ExtractAll(a);
    ASSERT_EQ(failures_.size(), 1u);
    EXPECT_EQ(failures_[0].Native, 19);
    EXPECT_FALSE(fs::exists(root_ / "escaped.txt"));
}

// No link under the target folder leads a write out of it. A folder on the way that is a link (of
// any case, dangling or not, pointing in or out, made by an earlier entry), a file or a FIFO refuses
// the entry with code 20; a link, FIFO or device of the entry's own name is replaced by the file,
// never followed or opened.
TEST_F(ExtractTest, NothingIsWrittenThroughWhatStandsUnderTheTarget)
{
    const fs::path outside = root_ / "outside";
    const auto link = [this](const char* to, const char* name) { fs::create_symlink(to, out_ / name); };
    const TEntry unixLink = TEntry("lnk", "../outside").madeBy(0x0314).attr(0120777u << 16);
    struct {
        const char* what;
        std::function<bool()> prepare;  // false: the case cannot be set up here
        std::vector<TEntry> entries;
        std::vector<int> natives;  // failures, in entry order
    } const cases[] = {
        {"link to a folder outside", [&] { link("../outside", "sub"); return true; }, {TEntry("sub/f.txt", "x")}, {20}},
        {"link of another case", [&] { link("../outside", "SUB"); return true; }, {TEntry("sub/f.txt", "x")}, {20}},
        {"dangling link", [&] { link("../nowhere", "sub"); return true; }, {TEntry("sub/f.txt", "x")}, {20}},
        {"link to a folder inside", [&] { fs::create_directory(out_ / "in"); link("in", "sub"); return true; },
         {TEntry("sub/f.txt", "x")}, {20}},
        {"link deeper down", [&] { fs::create_directory(out_ / "a"); link("../../outside", "a/b"); return true; },
         {TEntry("a/b/c/f.txt", "x")}, {20}},
        {"file on the way", [&] { Spit(out_ / "sub", "x"); return true; }, {TEntry("sub/f.txt", "x")}, {20}},
        {"FIFO on the way", [&] { return ::mkfifo((out_ / "sub").c_str(), 0666) == 0; }, {TEntry("sub/f.txt", "x")}, {20}},
        {"link entry, then an entry below it", [] { return true; }, {unixLink, TEntry("lnk/f.txt", "x")}, {20}},
        {"link to a file as the name", [&] { link("../outside/victim.txt", "f.txt"); return true; }, {TEntry("f.txt", "x")}, {}},
        {"dangling link as the name", [&] { link("../outside/new.txt", "f.txt"); return true; }, {TEntry("f.txt", "x")}, {}},
        {"link to a folder as the name", [&] { link("../outside", "f.txt"); return true; }, {TEntry("f.txt", "x")}, {}},
        {"FIFO as the name", [&] { return ::mkfifo((out_ / "f.txt").c_str(), 0666) == 0; }, {TEntry("f.txt", "x")}, {}},
        {"device as the name", [&] { return ::mknod((out_ / "f.txt").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
         {TEntry("f.txt", "x")}, {}},
    };
    for (const auto& c : cases) {
        fs::remove_all(out_);
        fs::remove_all(outside);
        fs::create_directories(out_);
        fs::create_directories(outside);
        Spit(outside / "victim.txt", "keep");
        if (!c.prepare()) {
            std::cout << "not set up here: " << c.what << "\n";
            continue;
        }
        failures_.clear();
        ExtractAll(Open(c.entries));
        std::vector<int> natives;
        for (const auto& f : failures_)
            natives.push_back(f.Native);
        EXPECT_EQ(natives, c.natives) << c.what;
        EXPECT_EQ(Tree(outside), std::vector<std::string>{"victim.txt"}) << c.what;
        EXPECT_EQ(Slurp(outside / "victim.txt"), "keep") << c.what;
        EXPECT_FALSE(fs::exists(fs::symlink_status(root_ / "nowhere"))) << c.what;
        const fs::path written = out_ / c.entries.front().Name;
        if (c.natives.size() < c.entries.size()) {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(written))) << c.what;
            EXPECT_EQ(Slurp(written), c.entries.front().Data) << c.what;
        }
    }
}

// Another thread or process swapping a folder under the target for a link to the outside, again and again
// while entries are written into it, gets no file written outside: each folder is reached without
// following a link and written into through the folder held open.
TEST_F(ExtractTest, FolderSwappedForALinkMeanwhileLeadsNowhereOutside)
{
    const fs::path outside = root_ / "outside";
    fs::create_directories(outside);
    fs::create_directories(out_ / "sub");
    std::vector<TEntry> entries;
    for (int i = 0; i < 300; ++i) {
        entries.push_back(TEntry("sub/f" + std::to_string(i), "x"));
        entries.push_back(TEntry("other/g" + std::to_string(i), "y"));  // each sub entry walks anew
    }
    auto& a = Open(entries);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        for (int n = 0; !stop; ++n) {
            const fs::path parked = out_ / ("parked" + std::to_string(n));
            std::error_code ec;
            fs::rename(out_ / "sub", parked, ec);
            fs::create_directory_symlink(outside, out_ / "sub", ec);
            std::this_thread::yield();
            fs::remove(out_ / "sub", ec);
            fs::rename(parked, out_ / "sub", ec);
        }
    });
    ExtractAll(a);
    stop = true;
    swapper.join();
    EXPECT_TRUE(Tree(outside).empty()) << Tree(outside).size() << " files outside";
    for (const auto& f : failures_)  // a link met (20), or a folder we made removed by the swapper (19)
        EXPECT_TRUE(f.Native == 20 || f.Native == 19) << f.Name << ": " << f.Native;
}

// The target folder itself is the caller's choice: a link there is followed.
TEST_F(ExtractTest, TargetFolderGivenAsALinkIsFollowed)
{
    fs::create_directory_symlink(out_, root_ / "via");
    auto& a = Open({TEntry("d/f.txt", "x")});
    a.BaseDir = (root_ / "via").string();
    ExtractAll(a);
    EXPECT_TRUE(failures_.empty());
    EXPECT_EQ(Slurp(out_ / "d/f.txt"), "x");
}

// A full disk is the write error (46) in extraction, never a damaged entry (8): the target it met
// keeps what it held and the next entry that fits is written. The default failure prompt speaks of
// a full disk there, and not for a name refused. A test writes nothing, so it passes there.
TEST_F(ExtractTest, FullDiskIsTheWriteErrorOfExtractionOnly)
{
    const fs::path dir = root_ / "small";
    fs::create_directories(dir);
    if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=128k") != 0)
        GTEST_SKIP() << "a small file system cannot be mounted here";
    auto& a = Open({TEntry("../evil.txt", "x"), TEntry("big.bin", Noise(300000, 5)).method(0),
                    TEntry("small.txt", "s")});
    a.BaseDir = dir.string() + "/";
    a.TempDir = dir.string();
    const std::string savedTmp = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", dir.c_str(), 1);
    dialogs_.ClearLog();
    for (int i = 0; i < 3; ++i)
        dialogs_.PushResult(rtl::mrIgnore);
    Spit(dir / "big.bin", "old");
    a.ExtractFiles("*.*", 10431, "");
    a.MarkFiles("*.*", 10431, "");
    a.ProcessFiles(poTest);
    const std::vector<std::string> tree = Tree(dir);
    const std::string kept = Slurp(dir / "big.bin");
    ::umount2(dir.c_str(), MNT_DETACH);
    savedTmp.empty() ? unsetenv("TMPDIR") : setenv("TMPDIR", savedTmp.c_str(), 1);

    EXPECT_EQ(tree, (std::vector<std::string>{"big.bin", "small.txt"}));
    EXPECT_EQ(kept, "old");
    const auto log = dialogs_.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].Text.find("00019"), std::string::npos) << log[0].Text;
    EXPECT_EQ(log[0].Text.find("disk is full"), std::string::npos) << log[0].Text;
    EXPECT_NE(log[1].Text.find("Write to stream error - Native error: 00046"), std::string::npos) << log[1].Text;
    EXPECT_NE(log[1].Text.find("possibly disk is full"), std::string::npos) << log[1].Text;
}

// Output past the entry's stated size fails the entry (8) before it is written, whether stored or
// deflated: an existing target keeps what it held and nothing else is left.
TEST_F(ExtractTest, OutputPastTheStatedSizeReplacesNothing)
{
    Spit(out_ / "stored.bin", "old");
    Spit(out_ / "packed.bin", "old");
    auto& a = Open({TEntry("stored.bin", std::string(5000, 's')).method(0).usize(10),
                    TEntry("packed.bin", std::string(1 << 20, 'p')).usize(4096)});
    ExtractAll(a);
    ASSERT_EQ(failures_.size(), 2u);
    EXPECT_EQ(failures_[0].Native, 8);
    EXPECT_EQ(failures_[1].Native, 8);
    EXPECT_EQ(Tree(out_), (std::vector<std::string>{"packed.bin", "stored.bin"}));
    EXPECT_EQ(Slurp(out_ / "stored.bin"), "old");
    EXPECT_EQ(Slurp(out_ / "packed.bin"), "old");
}

// After an abort ExtractFiles raises the exception that caused it.
TEST_F(ExtractTest, AbortRaisesTheCausingError)
{
    auto& a = Open({TEntry("bad.txt", "x").crc(3), TEntry("later.txt", "y")});
    a.OnProcessFileFailure = [](TZABaseArchiver*, const std::string&, TZAProcessOperation, int32_t, int32_t,
                                const std::string&, TZAAction& action) { action = fxaAbort; };
    try {
        a.ExtractFiles("*.*", 10431, "");
        FAIL() << "no exception";
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 8);
    }
    EXPECT_FALSE(fs::exists(out_ / "later.txt"));
}

TEST_F(ExtractTest, DefaultFailureDialogClosedOrAbortedRaises)
{
    auto& a = Open({TEntry("bad.txt", "x").crc(3)});
    EXPECT_THROW(a.ExtractFiles("*.*", 10431, ""), EZAException);  // the box closed: abort
    const auto log = dialogs_.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].Text.find("File processing error, possibly disk is full"), std::string::npos);

    dialogs_.PushResult(rtl::mrIgnore);
    EXPECT_NO_THROW(a.ExtractFiles("*.*", 10431, ""));
    EXPECT_EQ(a.IgnoredFailures(), 1);
}

TEST_F(ExtractTest, RetryRepeatsTheEntryFromItsConfirmation)
{
    auto& a = Open({TEntry("bad.txt", "x").crc(3)});
    int confirmations = 0, failures = 0;
    a.OnConfirmProcessFile = [&](TZABaseArchiver*, const std::string&, TZAProcessOperation, bool&) {
        ++confirmations;
    };
    a.OnProcessFileFailure = [&](TZABaseArchiver*, const std::string&, TZAProcessOperation, int32_t, int32_t,
                                 const std::string&, TZAAction& action) {
        action = ++failures < 3 ? fxaRetry : fxaIgnore;
    };
    a.ExtractFiles("*.*", 10431, "");
    EXPECT_EQ(confirmations, 3);
    EXPECT_EQ(a.IgnoredFailures(), 1);
}

TEST_F(ExtractTest, PasswordFromDialogAfterAWrongOne)
{
    auto& a = Open({TEntry("secret.txt", "classified").password("right"),
                    TEntry("flag3.txt", "bit three").password("right").descriptor()});
    a.Password = "wrong";
    dialogs_.PushInput(true, "still wrong");
    dialogs_.PushInput(true, "right");
    ExtractAll(a);
    EXPECT_TRUE(failures_.empty());
    EXPECT_EQ(Slurp(out_ / "secret.txt"), "classified");
    EXPECT_EQ(Slurp(out_ / "flag3.txt"), "bit three");  // the password that fitted stays
    const auto log = dialogs_.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].Kind, "InputQuery");
    EXPECT_EQ(log[0].Caption, "Password for \"secret.txt\"");
    EXPECT_EQ(log[0].Text, "Enter password: ");
}

// Entries skipped for a password are counted and can be read after the call.
TEST_F(ExtractTest, CancelledPasswordSkipsTheEntryAndCountsIt)
{
    auto& a = Open({TEntry("secret.txt", "classified").password("right"),
                    TEntry("plain.txt", "open")});
    ExtractAll(a);  // the scripted dialog has no answer: cancelled
    EXPECT_TRUE(failures_.empty());
    EXPECT_FALSE(fs::exists(out_ / "secret.txt"));
    EXPECT_EQ(Slurp(out_ / "plain.txt"), "open");
    EXPECT_EQ(a.PasswordSkips(), 1);
    EXPECT_EQ(a.ProcessedFileNo, 2);
}

// Every operation counts the entries it finished, deletions included.
TEST_F(ExtractTest, DeletedEntriesCountAsProcessed)
{
    auto& a = Open({TEntry("one.txt", "1"), TEntry("two.txt", "2"), TEntry("keep.bin", "3")});
    a.BeginUpdate();
    a.MarkFiles("*.txt", 10431, "");
    a.ProcessFiles(poDelete);
    EXPECT_EQ(a.ProcessedFileCount, 2);
    EXPECT_EQ(a.ProcessedFileNo, 2);
    EXPECT_EQ(a.DirManager->CurrentDir.Count(), 1);
    a.DropPendingUpdate();
}

TEST_F(ExtractTest, HandlerRepeatingAFailedPasswordDoesNotHang)
{
    auto& a = Open({TEntry("secret.txt", "classified").password("right")});
    int asked = 0;
    a.OnPassword = [&](TZABaseArchiver*, const std::string&, std::string& pw, bool&) {
        ++asked;
        pw = "wrong";
    };
    ExtractAll(a);
    EXPECT_EQ(a.PasswordSkips(), 1);
    EXPECT_LE(asked, 2);
}

TEST_F(ExtractTest, CancelDuringDataDeletesOnlyThatEntry)
{
    auto& a = Open({TEntry("one.txt", "1"), TEntry("two.txt", "2"),
                    TEntry("three.txt", "3")});
    std::vector<std::string> events;
    a.OnFileProgress = [&](TZABaseArchiver*, const std::string& name, double, TZAProcessOperation,
                           TZAProgressPhase phase, bool& cancel) {
        events.push_back(name + " " + std::to_string(int(phase)));
        if (name == "two.txt" && phase == ppProcess)
            cancel = true;
    };
    a.OnOverallProgress = [&](TZABaseArchiver*, double, TZAProcessOperation, TZAProgressPhase phase, bool&) {
        events.push_back("overall " + std::to_string(int(phase)));
    };
    ExtractAll(a);
    EXPECT_TRUE(failures_.empty());
    EXPECT_TRUE(a.CancelRequested);
    EXPECT_EQ(Tree(out_), std::vector<std::string>{"one.txt"});
    // The overall event of the block still comes after the file event that cancelled.
    const std::vector<std::string> tail(events.end() - 4, events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"two.txt 1", "overall 1", "two.txt 2", "overall 2"}));
}

TEST_F(ExtractTest, CancelInTheFinalProgressKeepsTheFinishedFile)
{
    auto& a = Open({TEntry("one.txt", "1"), TEntry("two.txt", "2")});
    a.OnFileProgress = [](TZABaseArchiver*, const std::string& name, double, TZAProcessOperation,
                          TZAProgressPhase phase, bool& cancel) {
        if (name == "one.txt" && phase == ppEnd)
            cancel = true;
    };
    ExtractAll(a);
    EXPECT_TRUE(a.CancelRequested);
    EXPECT_EQ(a.ProcessedFileNo, 0);
    EXPECT_EQ(Tree(out_), std::vector<std::string>{"one.txt"});
    EXPECT_EQ(Slurp(out_ / "one.txt"), "1");
}

// A target exactly as old as the entry is neither newer nor older: both modes keep it.
TEST_F(ExtractTest, OverwriteModesKeepATargetOfTheSameAge)
{
    const uint16_t date = static_cast<uint16_t>(((2010 - 1980) << 9) | (6 << 5) | 15);
    const uint16_t time = static_cast<uint16_t>((12 << 11) | (30 << 5) | 10);
    Spit(out_ / "same.txt", "disk");
    rtl::FileSetDate((out_ / "same.txt").string(), static_cast<int32_t>((uint32_t{date} << 16) | time));
    auto& a = Open({TEntry("same.txt", "entry").date(date).time(time)});
    a.Options().OverwriteMode = omIfNewer;
    ExtractAll(a);
    EXPECT_EQ(Slurp(out_ / "same.txt"), "disk");
    a.Options().OverwriteMode = omIfOlder;
    ExtractAll(a);
    EXPECT_EQ(Slurp(out_ / "same.txt"), "disk");
    EXPECT_TRUE(failures_.empty());
}

TEST_F(ExtractTest, OverwriteModesCompareDosTimesUnsigned)
{
    // 2050-01-01: the top bit of the DOS date-time is set.
    const uint16_t date2050 = static_cast<uint16_t>(((2050 - 1980) << 9) | (1 << 5) | 1);
    Spit(out_ / "newer.txt", "old");
    rtl::FileSetDate((out_ / "newer.txt").string(), static_cast<int32_t>((0x5A21u << 16) | 0x6000u));
    auto& a = Open({TEntry("newer.txt", "from 2050").date(date2050)});
    a.Options().OverwriteMode = omIfOlder;
    ExtractAll(a);
    EXPECT_EQ(Slurp(out_ / "newer.txt"), "old");
    a.Options().OverwriteMode = omIfNewer;
    ExtractAll(a);
    EXPECT_EQ(Slurp(out_ / "newer.txt"), "from 2050");
    a.Options().OverwriteMode = omNever;
    Spit(out_ / "newer.txt", "third");
    ExtractAll(a);
    EXPECT_EQ(Slurp(out_ / "newer.txt"), "third");
}

// A target whose name differs from the entry's only in case is the entry's target all the same.
TEST_F(ExtractTest, TargetOfAnotherCaseIsKeptByNever)
{
    Spit(out_ / "Kept.TXT", "disk");
    auto& a = Open({TEntry("kept.txt", "entry")});
    a.Options().OverwriteMode = omNever;
    ExtractAll(a);
    EXPECT_EQ(Tree(out_), std::vector<std::string>{"Kept.TXT"});
    EXPECT_EQ(Slurp(out_ / "Kept.TXT"), "disk");
}

TEST_F(ExtractTest, OverwritePromptNoToAllKeepsEverything)
{
    Spit(out_ / "a.txt", "old a");
    Spit(out_ / "b.txt", "old b");
    auto& a = Open({TEntry("a.txt", "new"), TEntry("b.txt", "new")});
    a.Options().OverwriteMode = omPrompt;
    dialogs_.PushResult(rtl::mrNoToAll);
    ExtractAll(a);
    EXPECT_EQ(Slurp(out_ / "a.txt"), "old a");
    EXPECT_EQ(Slurp(out_ / "b.txt"), "old b");
    EXPECT_EQ(dialogs_.Log().size(), 1u);
}

TEST_F(ExtractTest, WithoutCreateDirsFilesLandInTheTargetFolder)
{
    auto& a = Open({TEntry("a/b/c.txt", "c")});
    a.Options().CreateDirs = false;
    ExtractAll(a);
    EXPECT_EQ(Tree(out_), std::vector<std::string>{"c.txt"});
}

// Two entries never go into one file (names alike but for case, one name twice, names that meet once
// folders are dropped): the first keeps its file, each later one fails with code 19.
TEST_F(ExtractTest, EntriesMeetingOnDiskAreRefusedAfterTheFirst)
{
    const struct {
        std::vector<TEntry> entries;
        bool createDirs;
        std::vector<std::string> tree;  // the first entry's file last
    } cases[] = {
        {{TEntry("Twin.txt", "first"), TEntry("twin.txt", "2"), TEntry("Twin.txt", "3")}, true, {"Twin.txt"}},
        {{TEntry("a/c.txt", "first"), TEntry("A/C.txt", "2")}, true, {"a", "a/c.txt"}},
        {{TEntry("a/c.txt", "first"), TEntry("b/c.txt", "2")}, false, {"c.txt"}},
    };
    for (const auto& c : cases) {
        fs::remove_all(out_);
        failures_.clear();
        auto& a = Open(c.entries);
        a.Options().CreateDirs = c.createDirs;
        ExtractAll(a);
        EXPECT_EQ(failures_.size(), c.entries.size() - 1) << c.tree.back();
        for (const TFailure& f : failures_) EXPECT_EQ(f.Native, 19) << f.Name;
        EXPECT_EQ(Tree(out_), c.tree);
        EXPECT_EQ(Slurp(out_ / c.tree.back()), "first");
    }
}

TEST_F(ExtractTest, MasksSelectByNameFolderAndExtension)
{
    auto& a = Open({TEntry("readme", "1"), TEntry("readme.txt", "2"),
                    TEntry("data/page.html", "3"), TEntry("data/sub/deep.html", "4"),
                    TEntry("hidden.txt", "5").attr(0x22)});
    a.MarkFiles("*.", 10431, "");
    std::vector<std::string> marked;
    TZAArchiveItem item;
    for (bool hit = a.FindFirst("*.", item, 10431, ""); hit; hit = a.FindNext(item))
        marked.push_back(item.FolderPath + item.FileName);
    EXPECT_EQ(marked, std::vector<std::string>{"readme"});

    marked.clear();
    for (bool hit = a.FindFirst("data/*.html", item, 10431, ""); hit; hit = a.FindNext(item))
        marked.push_back(item.FolderPath + item.FileName);
    EXPECT_EQ(marked, (std::vector<std::string>{"data\\page.html", "data\\sub\\deep.html"}));

    a.Options().Recurse = false;
    marked.clear();
    for (bool hit = a.FindFirst("data\\*.html", item, 10431, ""); hit; hit = a.FindNext(item))
        marked.push_back(item.FolderPath + item.FileName);
    EXPECT_EQ(marked, std::vector<std::string>{"data\\page.html"});

    EXPECT_FALSE(a.FindFirst("hidden.txt", item, 0x01, ""));
    EXPECT_TRUE(a.FindFirst("hidden.txt", item, 0x03, ""));
    EXPECT_TRUE(TZABaseArchiver::MatchesMask("readme", "readme."));
    EXPECT_FALSE(TZABaseArchiver::MatchesMask("readme.txt", "readme."));
}

TEST_F(ExtractTest, TestOperationChecksWithoutLeavingFiles)
{
    auto& a = Open({TEntry("good.txt", "fine"), TEntry("bad.txt", "x").crc(9)});
    a.TempDir = (root_ / "tmp").string();
    fs::create_directories(root_ / "tmp");
    a.OnProcessFileFailure = [this](TZABaseArchiver*, const std::string& name, TZAProcessOperation, int32_t native,
                                    int32_t, const std::string& msg, TZAAction& action) {
        failures_.push_back({name, native, msg});
        action = fxaIgnore;
    };
    a.MarkFiles("*.*", 10431, "");
    a.ProcessFiles(poTest);
    ASSERT_EQ(failures_.size(), 1u);
    EXPECT_EQ(failures_[0].Name, "bad.txt");
    EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
    EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(ExtractTest, ExtractToStreamRejectsBadIndex)
{
    auto& a = Open({TEntry("x", "x")});
    rtl::TMemoryStream sink;
    try {
        a.ExtractToStream(1, sink);
        FAIL();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 16);
    }
}

}  // namespace
