// The list check and the installation against an HTTP server on 127.0.0.1, with packs made by
// Python's zipfile.
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "controls/cm_OrvGauges.h"
#include "platform/forms/application.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/drives.h"
#include "platform/rtl/fscalls.h"
#include "tests/rtl/child_process.h"
#include "tests/updater/update_fixture.h"
#include "updater/update_grid.h"
#include "viewer/bindings.h"

namespace updatertest {
namespace {

using viewer::IntConfig;
using viewer::PendingUpdates;

class UpdateInstallTest : public UpdateTest {
protected:
    // Shows the dialog on its progress page, as the introduction's Next does.
    void RunCheck() {
        Dialog().Show();
        Dialog().Panel5->Hide();
        Dialog().FetchUpdateList();
    }
    void Install() { Dialog().load_but3Click(&Dialog()); }
    void CheckAndInstall(const std::string& list) {
        Serve("updates.list", list);
        RunCheck();
        Install();
    }
    // Pack 2 with "a.txt" and the extra entries, then pack 3 with "b.txt".
    std::string Packs2And3(std::vector<ZipEntry> extra = {}) {
        extra.insert(extra.begin(), ZipEntry{"a.txt", "2"});
        return PackLine(2, "p2.zip", MakeZip(extra)) + PackLine(3, "p3.zip", MakeZip({{"b.txt", "3"}}));
    }
    // A pack served as body, listed with that size, that is not whole: the error result, nothing
    // unpacked, nothing recorded, nothing left.
    void ExpectPackNotInstalled(const std::string& body, const std::string& listedSize) {
        Serve("p2.zip", body);
        CheckAndInstall("2|p2.zip|" + listedSize + "\r\n");
        EXPECT_TRUE(Shows(Dialog().im_err));
        EXPECT_EQ(IntConfig.UpdateVersion, 0);
        EXPECT_FALSE(BookFileExists("a.txt"));
        EXPECT_FALSE(BookFileExists("updated.zip"));
        EXPECT_FALSE(BookFileExists("intcfg.dat"));
    }
    int SavedVersion() const {
        const std::string record = ReadBookFile("intcfg.dat");
        return record.size() < 2 ? -1 : uint8_t(record[0]) | (uint8_t(record[1]) << 8);
    }
    std::string ErrorsShown() const {
        std::string texts;
        for (const auto& box : dialogs_.Log()) texts += box.Text + "\n";
        return texts;
    }
    // Every file (its bytes), folder and link under the book, by path.
    std::map<std::string, std::string> BookTree() const {
        std::map<std::string, std::string> tree;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(book_)) {
            const std::string name = entry.path().lexically_relative(book_).string();
            tree[name] = entry.is_symlink() ? "(link)" : entry.is_directory() ? "(folder)" : ReadBookFile(name);
        }
        return tree;
    }
    // Five entries, the second in a folder the pack makes, and the book they meet (version 1).
    std::string FivePack(const ZipEntry& third = {"e3.txt", "new3"}) {
        return MakeZip({{"e1.txt", "new1"}, {"sub/e2.txt", "new2"}, third, {"e4.txt", "new4"}, {"e5.txt", "new5"}});
    }
    void PutOldBook() {
        for (const char* name : {"sub", "intcfg.dat"}) std::filesystem::remove_all(BookFile(name));
        for (const char* name : {"e1.txt", "e3.txt", "e4.txt", "e5.txt"}) std::ofstream(BookFile(name)) << "old";
        IntConfig.UpdateVersion = 1;
    }
    std::set<std::string> BookNames() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(book_)) names.insert(entry.path().filename());
        return names;
    }
};

// The id of a process that has ended.
pid_t EndedProcessId() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST_F(UpdateInstallTest, NewerPacksAreOfferedInstalledInListOrderAndRecorded) {
    IntConfig.UpdateVersion = 2;
    std::string list = "1|old.zip|5\r\n";
    list += PackLine(3, "p3.zip", MakeZip({{"data/page3.htm", "three"}, {"readme.txt", "v3"}}));
    list += PackLine(5, "p5.zip", MakeZip({{"readme.txt", "v5"}}));
    list += PackLine(4, "p4.zip", MakeZip({{"data/sub/page4.htm", "four"}}));
    Serve("updates.list", list);

    RunCheck();
    ASSERT_EQ(Dialog().CurrentPage(), Dialog().Panel3);
    ASSERT_EQ(PendingUpdates.size(), 3u);
    EXPECT_EQ(Dialog().StringGrid1->Cell(0, 0), "");
    EXPECT_EQ(Dialog().StringGrid1->Cell(0, 1), rtl::Ru("Пакет обновления 3"));
    EXPECT_EQ(Dialog().StringGrid1->Cell(0, 2), rtl::Ru("Пакет обновления 5"));
    EXPECT_EQ(Dialog().StringGrid1->Cell(0, 3), rtl::Ru("Пакет обновления 4"));
    EXPECT_EQ(Dialog().ProgressBar1->Progress(), 100);

    Install();
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel4);
    EXPECT_TRUE(Shows(Dialog().im_last));
    EXPECT_FALSE(Shows(Dialog().im_err));
    EXPECT_TRUE(Shows(Dialog().Image9));
    EXPECT_EQ(ReadBookFile("data/page3.htm"), "three");
    EXPECT_EQ(ReadBookFile("data/sub/page4.htm"), "four");
    EXPECT_EQ(ReadBookFile("readme.txt"), "v5");  // installed after pack 3's copy
    EXPECT_EQ(IntConfig.UpdateVersion, 4);          // the last installed, not the highest
    EXPECT_EQ(SavedVersion(), 4);
    EXPECT_FALSE(BookFileExists("updated.zip"));
    EXPECT_GE(Dialog().ProgressBar1->Progress(), 99);

    std::vector<std::string> order;
    for (const auto& request : Requests()) {
        order.push_back(request.target);
        EXPECT_EQ(request.Header("user-agent"), "Korvel v1");
        EXPECT_EQ(request.Header("accept"), "text/html, */*");
    }
    EXPECT_EQ(order, (std::vector<std::string>{"/updates.list", "/p3.zip", "/p5.zip", "/p4.zip"}));
}

TEST_F(UpdateInstallTest, NothingNewerEndsOnTheEmptyResult) {
    IntConfig.UpdateVersion = 7;
    Serve("updates.list", "7|a.zip|10\r\n\r\n3|b.zip|10\r\n");
    RunCheck();
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel4);
    EXPECT_TRUE(Shows(Dialog().im_empty));
    EXPECT_FALSE(Shows(Dialog().im_err));
    EXPECT_TRUE(PendingUpdates.empty());
}

TEST_F(UpdateInstallTest, AMissingOrEmptyListEndsOnTheErrorResult) {
    RunCheck();
    EXPECT_TRUE(Shows(Dialog().im_err));
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel4);

    Serve("updates.list", "");
    RunCheck();
    EXPECT_TRUE(Shows(Dialog().im_err));
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(UpdateInstallTest, AMalformedListIsReportedAndOffersNothing) {
    Serve("updates.list", "3|a.zip|10\r\n4|b.zip\r\n");
    RunCheck();
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(dialogs_.Log()[0].Text, rtl::Ru("Ошибка обработки листа обновлений"));
    EXPECT_TRUE(Shows(Dialog().im_err));
    EXPECT_TRUE(PendingUpdates.empty());
}

TEST_F(UpdateInstallTest, ASecondCheckOffersOnlyWhatTheNewListOffers) {
    Serve("updates.list", "3|a.zip|10\r\n4|b.zip|10\r\n");
    RunCheck();
    ASSERT_EQ(PendingUpdates.size(), 2u);
    Serve("updates.list", "5|c.zip|10\r\n");
    RunCheck();
    ASSERT_EQ(PendingUpdates.size(), 1u);
    EXPECT_EQ(PendingUpdates[0].PackFile, "c.zip");
    EXPECT_EQ(Dialog().StringGrid1->Cell(0, 2), "");
}

TEST_F(UpdateInstallTest, AFailedDownloadKeepsThePacksInstalledBeforeIt) {
    IntConfig.UpdateVersion = 1;
    CheckAndInstall(Packs2And3() + "4|gone.zip|100\r\n" + PackLine(5, "p5.zip", MakeZip({{"c.txt", "5"}})));
    EXPECT_TRUE(Shows(Dialog().im_err));
    EXPECT_EQ(IntConfig.UpdateVersion, 3);
    EXPECT_EQ(SavedVersion(), 3);
    EXPECT_FALSE(BookFileExists("c.txt"));  // later packs are not fetched
    EXPECT_EQ(Requests().back().target, "/gone.zip");
}

TEST_F(UpdateInstallTest, APackWhoseSizeDiffersFromTheListIsNotInstalled) {
    const std::string pack = MakeZip({{"a.txt", "new"}});
    ExpectPackNotInstalled(pack, std::to_string(pack.size() + 1));
}

TEST_F(UpdateInstallTest, AnEmptyPackOfUnlistedSizeIsNotInstalled) { ExpectPackNotInstalled("", "0"); }

TEST_F(UpdateInstallTest, APackOfUnlistedSizeIsInstalled) {
    Serve("p2.zip", MakeZip({{"a.txt", "new"}}));
    CheckAndInstall("2|p2.zip|0\r\n");
    EXPECT_TRUE(Shows(Dialog().im_last));
    EXPECT_EQ(ReadBookFile("a.txt"), "new");
    EXPECT_EQ(IntConfig.UpdateVersion, 2);
}

// A pack of unlisted size goes to disk as it arrives, never held whole in memory: while the server
// holds back the second half, the first half is in a file of the program folder, and "updated.zip"
// takes its name only once the pack is whole.
TEST_F(UpdateInstallTest, APackIsWrittenToDiskAsItArrives) {
    std::mt19937 random(13);
    std::string noise(256 * 1024, '\0');
    for (char& c : noise) c = char(random());
    const std::string pack = MakeZip({{"big.bin", noise}});
    ServeInTwoParts("p2.zip", pack, pack.size() / 2, 400);
    Serve("updates.list", "2|p2.zip|0\r\n");
    RunCheck();

    int64_t onDiskWhileIncomplete = 0;
    bool namedWhileIncomplete = false;
    auto pump = Dialog().IdHTTP1.OnWork;
    Dialog().IdHTTP1.OnWork = [&](net::THttpClient& client, int64_t received, int64_t announced) {
        if (received < int64_t(pack.size())) {
            namedWhileIncomplete |= BookFileExists("updated.zip");
            for (const auto& entry : std::filesystem::directory_iterator(book_))
                if (entry.path().filename().string().find("updated.zip") != std::string::npos)
                    onDiskWhileIncomplete = std::max<int64_t>(onDiskWhileIncomplete, entry.file_size());
        }
        pump(client, received, announced);
    };
    Install();
    EXPECT_EQ(onDiskWhileIncomplete, int64_t(pack.size() / 2));
    EXPECT_FALSE(namedWhileIncomplete);
    EXPECT_TRUE(Shows(Dialog().im_last));
    EXPECT_EQ(ReadBookFile("big.bin"), noise);
}

// A pack that fails before its files replace the book's leaves the book byte for byte as it was,
// reported once by what happened, the dialog on the progress page. Only a disk that fills once the
// files are in place leaves them, version unrecorded.
TEST_F(UpdateInstallTest, AFailedPackLeavesTheBookAsItWas) {
    const std::string five = FivePack({"e3.txt", std::string(5000, 'y')});
    std::string corrupt = five;
    const size_t third = five.find("e3.txt") + 6;  // the third entry's data (zipfile writes no extra field)
    corrupt[third + 2] = char(corrupt[third + 2] ^ 0x55);
    std::vector<ZipEntry> manyFiles;
    for (int i = 0; i < 80; ++i) manyFiles.push_back({"f" + std::to_string(i), "x"});
    std::mt19937 random(7);
    std::string noise(1 << 20, '\0');
    for (char& c : noise) c = char(random());
    const auto ru = [](const char* text) { return rtl::Ru(text) + rtl::Ru(" Обновление не установлено."); };
    const std::string damaged = ru("Пакет обновления поврежден: файл \"e3.txt\" не совпадает со своей контрольной "
                                   "суммой или размером."),
                      cut = ru("Пакет обновления поврежден: в архиве нет оглавления."),
                      unreadable = ru("Пакет обновления не может быть прочитан: файл \"e3.txt\" сжат способом, "
                                      "который программа не поддерживает."),
                      twice = ru("Пакет обновления поврежден: файл \"E1.TXT\" записан в нем дважды."),
                      noNames = rtl::Ru("Недостаточно места на диске для установки обновления: нужно файлов и папок "),
                      full = viewer::DiskFullMessage();
    // smallDisk: the book is a tmpfs mounted so; sent: the Content-Length and body served, if not the pack's;
    // fullAtSync: another program fills the disk once the pack is unpacked.
    struct Case {
        const char* what;
        std::string pack, message;
        const char* smallDisk = nullptr;
        bool listed = true, fullAtSync = false;
        std::optional<std::pair<std::optional<size_t>, std::string>> sent = std::nullopt;
    };
    const Case cases[] = {
        {"a CRC-32 error", corrupt, damaged},
        {"a stated size too small", FivePack({"e3.txt", std::string(4000, 'x'), 100}), damaged},
        {"a full disk during the download", MakeZip({{"noise.bin", noise}}), full, "size=512k", false},
        {"a full disk during the unpacking", FivePack({"e3.txt", std::string(4 << 20, '\0')}), full, "size=512k"},
        {"too few inodes", MakeZip(manyFiles), noNames, "size=64m,nr_inodes=64"},
        {"a full disk at the version record", five, full, "size=512k", true, true},
        {"more bytes than the Content-Length", five, cut, nullptr, false, false, {{third + 5, five}}},
        {"a cut pack sent without a length", five, cut, nullptr, false, false,
         {{std::nullopt, five.substr(0, five.find("e4.txt") - 30)}}},
        {"a BZip2 entry", FivePack({"e3.txt", "new3", std::nullopt, false, 12}), unreadable},
        {"an LZMA entry", FivePack({"e3.txt", "new3", std::nullopt, false, 14}), unreadable},
        {"a Deflate64 entry", FivePack({"e3.txt", "new3", std::nullopt, false, 9}), unreadable},
        {"two entries for one file", FivePack({"E1.TXT", "twin"}), twice},
    };
    static std::string filler;
    filler = BookFile("filler");
    const auto fillAtSync = [](const rtl::TFsChange& change) {
        if (std::string_view(change.Call) != "syncfs") return;
        std::ofstream out(filler, std::ios::binary);
        for (int i = 0; i < 1024 && out; ++i) out << std::string(1024, 'f') << std::flush;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.smallDisk && ::mount("tmpfs", book_.c_str(), "tmpfs", 0, c.smallDisk) != 0) continue;  // not root
        PutOldBook();
        if (c.sent) ServeLength("p2.zip", c.sent->second, c.sent->first);
        else Serve("p2.zip", c.pack);
        Serve("updates.list", "2|p2.zip|" + std::to_string(c.listed ? c.pack.size() : 0) + "\r\n");
        RunCheck();
        const auto tree = BookTree();
        rtl::SetDiskFreeForTests(c.smallDisk ? int64_t(1) << 40 : -1);  // past the check of room
        dialogs_.ClearLog();
        const rtl::TFsChangeObserver before = rtl::SetFsChangeObserver(c.fullAtSync ? +fillAtSync : nullptr);
        Install();
        rtl::SetFsChangeObserver(before);
        std::filesystem::remove(filler);
        auto after = BookTree();
        if (c.smallDisk) ::umount2(book_.c_str(), MNT_DETACH);
        EXPECT_EQ(dialogs_.Log().size(), 1u) << ErrorsShown();
        EXPECT_TRUE(ErrorsShown().starts_with(c.message)) << ErrorsShown();
        EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel2);
        EXPECT_EQ(IntConfig.UpdateVersion, 1);
        EXPECT_EQ(after.count("intcfg.dat"), 0u);
        if (c.fullAtSync) EXPECT_EQ(after["sub/e2.txt"], "new2");
        else EXPECT_EQ(after, tree);
    }
}

// The archive's error is reported as any error of the program; the dialog stays on the progress
// page and the later packs are not fetched.
TEST_F(UpdateInstallTest, ADownloadThatIsNotAnArchiveIsReportedAndNotRecorded) {
    CheckAndInstall(PackLine(2, "p2.zip", "<html>not found</html>") + PackLine(3, "p3.zip", MakeZip({{"a.txt", "x"}})));
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel2);
    EXPECT_EQ(IntConfig.UpdateVersion, 0);
    EXPECT_FALSE(BookFileExists("updated.zip"));
    EXPECT_FALSE(BookFileExists("a.txt"));
    EXPECT_FALSE(ErrorsShown().empty());
    EXPECT_EQ(Requests().back().target, "/p2.zip");
}

// A record that cannot be written: the error is reported, the dialog stays on the progress page
// and the version in memory stays the one the record holds.
TEST_F(UpdateInstallTest, ARecordThatCannotBeSavedKeepsTheVersionAndTheProgressPage) {
    IntConfig.UpdateVersion = 1;
    Serve("updates.list", PackLine(2, "p2.zip", MakeZip({{"a.txt", "new"}})));
    RunCheck();
    std::filesystem::create_directory(BookFile("intcfg.dat"));
    dialogs_.ClearLog();
    Install();
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel2);
    EXPECT_EQ(IntConfig.UpdateVersion, 1);
    EXPECT_EQ(ReadBookFile("a.txt"), "new");
    EXPECT_FALSE(ErrorsShown().empty());
}

TEST_F(UpdateInstallTest, EntriesCannotEscapeTheProgramFolder) {
    CheckAndInstall(PackLine(2, "p2.zip", MakeZip({{"../escaped.txt", "x"}, {"inside.txt", "y"}})));
    EXPECT_FALSE(std::filesystem::exists(scratch_ + "escaped.txt"));
}

TEST_F(UpdateInstallTest, CancelDuringTheListDownloadAbandonsIt) {
    ServeStalled("updates.list", 20000);
    backend_->Post([this] { Dialog().SpeedButton2Click(&Dialog()); });
    const auto started = std::chrono::steady_clock::now();
    RunCheck();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_TRUE(viewer::UpdateCancelled);
    EXPECT_FALSE(Dialog().Visible());
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel5);
    EXPECT_FALSE(Shows(Dialog().im_last));
}

TEST_F(UpdateInstallTest, CancelDuringAPackDownloadRecordsNothing) {
    ServeStalled("p2.zip", 20000);
    Serve("updates.list", "2|p2.zip|0\r\n");
    RunCheck();
    backend_->Post([this] { Dialog().SpeedButton2Click(&Dialog()); });
    Install();
    EXPECT_EQ(IntConfig.UpdateVersion, 0);
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel5);
    for (const auto& entry : std::filesystem::directory_iterator(book_))
        EXPECT_EQ(entry.path().filename().string().find("updated.zip"), std::string::npos);  // nor its temporary
}

// A kill leaves the partial download of a pack (a hidden temporary beside "updated.zip"), the
// version record's temporary and "updated.zip" itself, read-only or not. The next check, or the next
// installation, removes them and nothing else: a download or a record of a process that still runs,
// names the download never takes, a folder and a link stay as they were; and the update leaves
// nothing of its own.
TEST_F(UpdateInstallTest, TheLeftoversOfAKilledUpdateGoAndNothingElse) {
    namespace fs = std::filesystem;
    const std::string ended = std::to_string(EndedProcessId());
    const std::string live = std::to_string(::getppid());
    const std::vector<std::string> stale = {".updated.zip." + ended + ".0.tmp",
                                            ".updated.zip." + std::to_string(::getpid()) + ".9.tmp", "updated.zip",
                                            ".intcfg.dat." + ended + ".3.tmp"};
    const std::vector<std::string> kept = {".updated.zip." + live + ".0.tmp", ".updated.zip.0" + ended + ".0.tmp",
                                           ".updated.zip." + ended + ".0.tmp.x", "updated.zip." + ended + ".0.tmp",
                                           ".intcfg.dat." + live + ".0.tmp"};
    const std::string folder = ".updated.zip." + ended + ".1.tmp", link = ".updated.zip." + ended + ".2.tmp";
    std::ofstream(scratch_ + "outside.txt") << "keep";
    fs::create_directory(BookFile(folder));
    fs::create_symlink(scratch_ + "outside.txt", BookFile(link));
    const auto leave = [&] {
        for (const auto& name : stale) std::ofstream(BookFile(name)) << "stale";
        for (const auto& name : kept) std::ofstream(BookFile(name)) << "keep";
        fs::permissions(BookFile("updated.zip"), fs::perms(0444));
    };

    struct Case {
        const char* what;
        std::string list;
        bool leftBeforeTheCheck;
        forms::TImage* viewer::TForm5::*result;
        std::set<std::string> added;
    };
    IntConfig.UpdateVersion = 5;
    const Case cases[] = {
        {"a check with nothing newer", "5|p5.zip|10\r\n", true, &viewer::TForm5::im_empty, {}},
        {"an installation", PackLine(6, "p6.zip", MakeZip({{"a.txt", "6"}})), false, &viewer::TForm5::im_last,
         {"a.txt", "intcfg.dat"}},
        {"a failed download", "7|gone.zip|100\r\n", false, &viewer::TForm5::im_err, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Serve("updates.list", c.list);
        if (c.leftBeforeTheCheck) leave();
        std::set<std::string> expected = BookNames();
        RunCheck();
        if (!c.leftBeforeTheCheck) {
            leave();
            expected = BookNames();
            Install();
        }
        EXPECT_TRUE(Shows(Dialog().*c.result));
        for (const auto& name : stale) expected.erase(name);
        expected.insert(c.added.begin(), c.added.end());
        EXPECT_EQ(BookNames(), expected);
        for (const auto& name : kept) EXPECT_EQ(ReadBookFile(name), "keep") << name;
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(BookFile(folder))));
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(BookFile(link))));
    }
    EXPECT_EQ(ReadBookFile("a.txt"), "6");
    EXPECT_EQ(ReadBookFile("../outside.txt"), "keep");
}

// A pack may put a read-only "updated.zip" in place of itself: it goes all the same, and the next
// pack's download is a new file of the updater's own.
TEST_F(UpdateInstallTest, AReadOnlyPackFileGoesLikeAnyOther) {
    CheckAndInstall(Packs2And3({{"updated.zip", "x", std::nullopt, true}}));
    EXPECT_TRUE(Shows(Dialog().im_last));
    EXPECT_EQ(IntConfig.UpdateVersion, 3);
    EXPECT_EQ(BookNames(), (std::set<std::string>{"a.txt", "b.txt", "data", "intcfg.dat"}));
}

// An extraction killed between a scratch file's naming and its rename leaves "FC<pid>.<hex>.tmp".
// The next installation removes those of ended processes from the folders it writes to, and
// nothing else: a running process's, names of another form, folders the pack does not write.
TEST_F(UpdateInstallTest, AnInstallationRemovesKilledExtractionsScratchFilesWhereItWrites) {
    const std::string ended = std::to_string(EndedProcessId());
    const std::string stale = "FC" + ended + ".00000000abcd.tmp";
    const std::vector<std::string> kept = {"data/FC" + std::to_string(::getppid()) + ".00000000abcd.tmp",
                                           "data/FC00000000abcd.tmp", "data/FC" + ended + ".abcd.tmp",
                                           "data/FC" + ended + ".00000000ABCD.tmp", "other/" + stale};
    std::filesystem::create_directory(BookFile("other"));
    for (const auto& name : {stale, "data/" + stale}) std::ofstream(BookFile(name)) << "stale";
    for (const auto& name : kept) std::ofstream(BookFile(name)) << "keep";
    CheckAndInstall(PackLine(2, "p2.zip", MakeZip({{"a.txt", "2"}, {"DATA/page.htm", "p"}})));
    EXPECT_TRUE(Shows(Dialog().im_last));
    EXPECT_EQ(ReadBookFile("data/page.htm"), "p");
    for (const auto& name : {stale, "data/" + stale}) EXPECT_FALSE(BookFileExists(name)) << name;
    for (const auto& name : kept) EXPECT_EQ(ReadBookFile(name), "keep") << name;
}

// An installation killed while it unpacks leaves the book as it was (with scratch files) or the
// pack's files, version unrecorded; the next check clears what it left and offers the pack again.
TEST_F(UpdateInstallTest, AnInstallationKilledWhileItUnpacksIsClearedAndOfferedAgain) {
    static std::string killAt;
    static int left = 0;
    const struct {
        const char* at;  // the change, by its name's beginning, whose n-th time kills
        int n;
        const char* firstAndLast;  // "e1.txt" and "e5.txt" once killed
    } cases[] = {
        {"FC", 3, "oldold"},             // while entries are staged
        {"FC", 7, "new1old"},            // five staged, then the second rename
        {".intcfg.dat", 1, "new1new5"},  // before the version is recorded
    };
    const std::string pack = FivePack();
    const auto scratch = [this] {
        const auto tree = BookTree();
        return std::count_if(tree.begin(), tree.end(),
                             [](const auto& file) { return file.first.find("FC") != std::string::npos; });
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstAndLast);
        PutOldBook();
        Serve("updates.list", PackLine(2, "p2.zip", pack));
        RunCheck();
        const auto before = BookTree();
        killAt = c.at;
        left = c.n;
        ASSERT_EQ(rtltest::ExitCodeOf([this] {
            rtl::SetFsChangeObserver([](const rtl::TFsChange& change) {
                if (std::string_view(change.Path).starts_with(killAt) && --left == 0) ::raise(SIGKILL);
            });
            Install();
            return 0;
        }), 128 + SIGKILL);
        EXPECT_EQ(ReadBookFile("e1.txt") + ReadBookFile("e5.txt"), c.firstAndLast);
        EXPECT_FALSE(BookFileExists("intcfg.dat"));
        EXPECT_EQ(scratch() > 0, std::string_view(c.firstAndLast).ends_with("old"));
        RunCheck();
        EXPECT_EQ(scratch(), 0);
        EXPECT_EQ(PendingUpdates.size(), 1u);
        if (std::string_view(c.firstAndLast) == "oldold") { EXPECT_EQ(BookTree(), before); }
        Install();
        EXPECT_TRUE(Shows(Dialog().im_last));
        EXPECT_EQ(ReadBookFile("sub/e2.txt") + ReadBookFile("e5.txt"), "new2new5");
        EXPECT_EQ(SavedVersion(), 2);
    }
}

// What the installation wrote is on the disk before the version record is written.
TEST_F(UpdateInstallTest, APackIsOnTheDiskBeforeItsVersionIsRecorded) {
    static std::vector<std::string> calls;
    calls.clear();
    Serve("updates.list", PackLine(2, "p2.zip", MakeZip({{"a.txt", "2"}, {"data/b.txt", "b"}})));
    RunCheck();
    const rtl::TFsChangeObserver before = rtl::SetFsChangeObserver(
        [](const rtl::TFsChange& change) { calls.push_back(std::string(change.Call) + " " + change.Path); });
    Install();
    rtl::SetFsChangeObserver(before);
    EXPECT_TRUE(Shows(Dialog().im_last));
    long lastWrite = -1, sync = -1, record = -1;
    for (long i = 0; i < long(calls.size()); ++i) {
        if (calls[i].ends_with("a.txt") || calls[i].ends_with("b.txt")) lastWrite = i;
        if (sync < 0 && calls[i].starts_with("syncfs")) sync = i;
        if (record < 0 && calls[i].find("intcfg.dat") != std::string::npos) record = i;
    }
    ASSERT_GE(lastWrite, 0);
    EXPECT_LT(lastWrite, sync);
    EXPECT_LT(sync, record);
}

// Before the download the listed size, and before unpacking the sizes the pack's directory states
// (each in whole 4 KiB blocks, summed without overflow), with 5% of it or at least 16 MiB to spare,
// must fit in the free space of the program folder's file system. A pack that does not is refused
// with the reader's message: nothing of it is written, nothing recorded, no later pack fetched.
TEST_F(UpdateInstallTest, APackThatDoesNotFitOnTheDiskIsRefusedBeforeAnythingIsWritten) {
    constexpr int64_t kMiB = int64_t(1) << 20;
    constexpr uint64_t kAlmostHalf = 0x7FFFFFFFFFFFF000;
    std::vector<ZipEntry> oneByteFiles;
    for (int i = 0; i < 2000; ++i) oneByteFiles.push_back({"t/" + std::to_string(i), "x"});
    const std::vector<ZipEntry> eightMiB = {{"big.bin", std::string(8 * kMiB, '\0')}, {"a.txt", "a"}};
    struct Case {
        const char* what;
        std::vector<ZipEntry> entries;
        int64_t free;
        const char* neededMiB;  // null: the pack fits
        bool downloaded;
    };
    const Case cases[] = {
        {"8 MiB and 16 to spare in 20 MiB", eightMiB, 20 * kMiB, "25", true},
        {"2000 files of one byte take 2000 blocks", oneByteFiles, 20 * kMiB, "24", true},
        {"stated sizes whose sum overflows", {{"a.txt", "a", kAlmostHalf}, {"b.txt", "b", kAlmostHalf}},
         kMiB << 20, "8796093022208", true},
        {"a stated size whose blocks overflow", {{"a.txt", "a", INT64_MAX}}, kMiB << 20, "8796093022208", true},
        {"less free than the spare room", {{"a.txt", "a"}}, 10 * kMiB, "17", false},
        {"8 MiB and 16 to spare in 25 MiB", eightMiB, 25 * kMiB, nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IntConfig.UpdateVersion = 1;
        std::string list = PackLine(2, "p2.zip", MakeZip(c.entries));
        list += PackLine(3, "p3.zip", MakeZip({{"later.txt", "3"}}));
        Serve("updates.list", list);
        RunCheck();
        const std::set<std::string> before = BookNames();
        rtl::SetDiskFreeForTests(c.free);
        dialogs_.ClearLog();
        Install();
        rtl::SetDiskFreeForTests(-1);
        if (!c.neededMiB) {
            EXPECT_TRUE(Shows(Dialog().im_last));
            EXPECT_EQ(IntConfig.UpdateVersion, 3);
            EXPECT_EQ(ReadBookFile("big.bin").size(), size_t(8 * kMiB));
            continue;
        }
        EXPECT_EQ(dialogs_.Log().size(), 1u);
        if (dialogs_.Log().empty()) continue;
        EXPECT_EQ(dialogs_.Log()[0].Text, rtl::Ru("Недостаточно места на диске для установки обновления: нужно ") +
                                              c.neededMiB + rtl::Ru(" МБ, свободно ") +
                                              std::to_string(c.free / kMiB) + rtl::Ru(" МБ."));
        EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel2);
        EXPECT_EQ(IntConfig.UpdateVersion, 1);
        EXPECT_EQ(BookNames(), before);
        EXPECT_EQ(Requests().back().target, c.downloaded ? "/p2.zip" : "/updates.list");
    }
}

}  // namespace
}  // namespace updatertest
