// Event dispatchers: what handlers receive, and the default prompts (texts, buttons, answers) shown
// through the dialog service when no handler is assigned.
#include "platform/rtl/drives.h"
#include "tests/archive/archiver/fixture.h"

namespace {

using rtl::mbAbort;
using rtl::mbIgnore;
using rtl::mbNo;
using rtl::mbNoToAll;
using rtl::mbRetry;
using rtl::mbYes;
using rtl::mbYesToAll;

class Events : public ArchiverTest {
protected:
    rtl::ScriptedDialogs::TShownBox OnlyBox()
    {
        const auto log = dialogs_.Log();
        EXPECT_EQ(log.size(), 1u);
        return log.empty() ? rtl::ScriptedDialogs::TShownBox{} : log.back();
    }

    TZipArchiver zip;
};

TEST_F(Events, ProgressDefaultsGoOnAndHandlersSeeBackslashes)
{
    bool cancel = true;
    zip.DoOnOverallProgress(50, poExtract, ppProcess, cancel);
    EXPECT_FALSE(cancel);
    cancel = true;
    zip.DoOnFileProgress("a/b/c.txt", 10, poExtract, ppStart, cancel);
    EXPECT_FALSE(cancel);
    cancel = true;
    zip.DoOnCopyTempFileProgress(10, ppProcess, cancel);
    EXPECT_FALSE(cancel);

    std::string seen;
    zip.OnFileProgress = [&](TZABaseArchiver*, const std::string& name, double progress, TZAProcessOperation op,
                             TZAProgressPhase phase, bool& c) {
        seen = name;
        EXPECT_EQ(progress, 10);
        EXPECT_EQ(op, poTest);
        EXPECT_EQ(phase, ppEnd);
        EXPECT_TRUE(c);  // the caller's value arrives unchanged
        c = false;
    };
    cancel = true;
    zip.DoOnFileProgress("a/b/c.txt", 10, poTest, ppEnd, cancel);
    EXPECT_EQ(seen, "a\\b\\c.txt");
    EXPECT_FALSE(cancel);

    zip.OnOverallProgress = [](TZABaseArchiver*, double, TZAProcessOperation, TZAProgressPhase, bool& c) {
        c = true;
    };
    cancel = false;
    zip.DoOnOverallProgress(1, poExtract, ppProcess, cancel);
    EXPECT_TRUE(cancel);
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(Events, ConfirmProcessFileStartsTrue)
{
    bool confirm = false;
    zip.DoOnConfirmProcessFile("x", poExtract, confirm);
    EXPECT_TRUE(confirm);
    zip.OnConfirmProcessFile = [](TZABaseArchiver*, const std::string&, TZAProcessOperation, bool& c) {
        EXPECT_TRUE(c);
        c = false;
    };
    zip.DoOnConfirmProcessFile("x", poExtract, confirm);
    EXPECT_FALSE(confirm);
}

TEST_F(Events, OverwritePromptNamesTheDestinationFirst)
{
    dialogs_.PushResult(rtl::mrYes);
    std::string dest = "C:\\out\\a.txt";
    bool confirm = false;
    zip.DoOnConfirmOverwrite("a.txt", dest, confirm);
    EXPECT_TRUE(confirm);
    const auto box = OnlyBox();
    EXPECT_EQ(box.Kind, "MessageDlg");
    EXPECT_EQ(box.Caption, "Confirm");
    EXPECT_EQ(box.Type, rtl::mtConfirmation);
    EXPECT_EQ(box.Text, "Overwrite file \"C:\\out\\a.txt\" with \"a.txt\"");
    EXPECT_EQ(box.Buttons, (rtl::TMsgDlgButtons{mbYes, mbNo, mbNoToAll, mbYesToAll}));
}

TEST_F(Events, OverwriteAnswersAndTheirLastingEffect)
{
    struct Case {
        int answer;
        bool confirm;
        TZAOverwriteMode mode;
    };
    const Case cases[] = {
        {rtl::mrYes, true, omPrompt},       {rtl::mrNo, false, omPrompt},
        {rtl::mrNoToAll, false, omNever},   {rtl::mrYesToAll, true, omAlways},
        {rtl::mrNone, false, omPrompt},
    };
    for (const Case& c : cases) {
        zip.Options().OverwriteMode = omPrompt;
        dialogs_.PushResult(c.answer);
        std::string dest = "d";
        bool confirm = !c.confirm;
        zip.DoOnConfirmOverwrite("s", dest, confirm);
        EXPECT_EQ(confirm, c.confirm) << c.answer;
        EXPECT_EQ(zip.Options().OverwriteMode, c.mode) << c.answer;
    }
}

TEST_F(Events, OverwriteHandlerMayRedirect)
{
    zip.OnConfirmOverwrite = [](TZABaseArchiver*, const std::string& source, std::string& dest, bool& c) {
        EXPECT_EQ(source, "s");
        dest = "elsewhere";
        c = true;
    };
    std::string dest = "d";
    bool confirm = false;
    zip.DoOnConfirmOverwrite("s", dest, confirm);
    EXPECT_EQ(dest, "elsewhere");
    EXPECT_TRUE(confirm);
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(Events, PasswordPrompt)
{
    dialogs_.PushInput(true, "secret");
    std::string password = "old";
    bool skip = true;
    zip.DoOnPassword("doc.txt", password, skip);
    EXPECT_EQ(password, "secret");
    EXPECT_FALSE(skip);
    const auto box = OnlyBox();
    EXPECT_EQ(box.Kind, "InputQuery");
    EXPECT_EQ(box.Caption, "Password for \"doc.txt\"");
    EXPECT_EQ(box.Text, "Enter password: ");

    dialogs_.PushInput(false);
    zip.DoOnPassword("doc.txt", password, skip);
    EXPECT_TRUE(skip);  // cancelled: the entry is skipped
    EXPECT_EQ(password, "secret");
}

TEST_F(Events, FailureDefaults)
{
    TZAAction action = fxaRetry;
    zip.DoOnProcessFileFailure("f", poExtract, 45, 24, "cancelled", action);
    EXPECT_EQ(action, fxaAbort);
    EXPECT_TRUE(dialogs_.Log().empty());  // native error 45 aborts without a question

    const std::pair<int, TZAAction> answers[] = {
        {rtl::mrRetry, fxaRetry}, {rtl::mrIgnore, fxaIgnore}, {rtl::mrAbort, fxaAbort}, {rtl::mrNone, fxaAbort}};
    for (const auto& [answer, expected] : answers) {
        dialogs_.ClearLog();
        dialogs_.PushResult(answer);
        zip.DoOnProcessFileFailure("f", poExtract, 8, 4, "Bad data", action);
        EXPECT_EQ(action, expected) << answer;
        const auto box = OnlyBox();
        EXPECT_EQ(box.Text, "Bad data. File processing error, possibly disk is full");
        EXPECT_EQ(box.Buttons, (rtl::TMsgDlgButtons{mbAbort, mbRetry, mbIgnore}));
    }
}

TEST_F(Events, FailureHandlerGetsTheExceptionValues)
{
    zip.OnProcessFileFailure = [](TZABaseArchiver*, const std::string& name, TZAProcessOperation op, int32_t native,
                                  int32_t code, const std::string& message, TZAAction& a) {
        EXPECT_EQ(name, "f");
        EXPECT_EQ(op, poTest);
        EXPECT_EQ(native, 45);
        EXPECT_EQ(code, 24);
        EXPECT_EQ(message, "m");
        EXPECT_EQ(a, fxaIgnore);  // preset
        a = fxaRetry;
    };
    TZAAction action = fxaAbort;
    zip.DoOnProcessFileFailure("f", poTest, 45, 24, "m", action);
    EXPECT_EQ(action, fxaRetry);
}

TEST_F(Events, BlankVolumeCountsFromOne)
{
    zip.SetSpanningMode(smSpanning);
    zip.SpanningOptions().AdvancedNaming = false;
    dialogs_.PushResult(rtl::mrOk);
    std::string name = "A:\\pack.zip";
    bool cancel = true;
    zip.DoOnRequestBlankVolume(-3, name, cancel);  // a negative number counts as the first
    EXPECT_FALSE(cancel);
    EXPECT_EQ(OnlyBox().Text, "Please insert a blank disk #1");
    EXPECT_EQ(OnlyBox().Buttons, rtl::mbOKCancel);

    dialogs_.PushResult(rtl::mrCancel);
    zip.DoOnRequestBlankVolume(1, name, cancel);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(dialogs_.Log().back().Text, "Please insert a blank disk #2");

    int number = 0;
    zip.OnRequestBlankVolume = [&](TZABaseArchiver*, int32_t n, std::string& vname, bool& c) {
        number = n;
        EXPECT_EQ(vname, "A:\\pack.zip");
        EXPECT_FALSE(c);
    };
    zip.DoOnRequestBlankVolume(0, name = "A:\\pack.zip", cancel);
    EXPECT_EQ(number, 1);
}

TEST_F(Events, BlankVolumeOfASplitArchiveNeedsNoQuestion)
{
    zip.SetSpanningMode(smSplitting);
    std::string name = "D:\\pack.zip";
    bool cancel = true;
    zip.DoOnRequestBlankVolume(0, name, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(name, "D:\\pack_001.zip");
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(Events, FirstLastAndMiddleDisksOfASpannedArchive)
{
    zip.SetSpanningMode(smSpanning);
    zip.SpanningOptions().AdvancedNaming = false;
    const std::string file = Path("pack.zip");

    dialogs_.PushResult(rtl::mrOk);
    std::string name = file;
    bool cancel = true;
    zip.DoOnRequestFirstVolume(name, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(name, file);
    EXPECT_EQ(dialogs_.Log().back().Text, "Please insert the first disk");

    dialogs_.PushResult(rtl::mrOk);
    zip.DoOnRequestMiddleVolume(2, name = file, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(dialogs_.Log().back().Text, "Please insert disk #3");

    // The last disk is asked for again while its file is missing.
    dialogs_.ClearLog();
    dialogs_.PushResult(rtl::mrOk);
    dialogs_.PushResult(rtl::mrOk);
    dialogs_.PushResult(rtl::mrCancel);
    zip.DoOnRequestLastVolume(name = file, cancel);
    EXPECT_TRUE(cancel);
    const auto log = dialogs_.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].Text, "Please insert the last disk");
    const std::string notFound = "File '" + file +
                                 "' not found on inserted disk. Please insert last disk with required file";
    EXPECT_EQ(log[1].Text, notFound);
    EXPECT_EQ(log[2].Text, notFound);

    WriteAll(file, "x");
    dialogs_.ClearLog();
    dialogs_.PushResult(rtl::mrOk);
    zip.DoOnRequestLastVolume(name = file, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(dialogs_.Log().size(), 1u);
}

TEST_F(Events, SplitVolumeRequestsAnswerByExistence)
{
    zip.SetSpanningMode(smSplitting);
    zip.SpanningOptions().AdvancedNaming = false;
    const std::string file = Path("pack.zip");
    WriteAll(Path("pack.Z01"), "x");

    std::string name = file;
    bool cancel = true;
    zip.DoOnRequestFirstVolume(name, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(name, Path("pack.Z01"));

    zip.DoOnRequestMiddleVolume(1, name = file, cancel);
    EXPECT_TRUE(cancel);  // pack.Z02 is missing
    EXPECT_EQ(name, Path("pack.Z02"));

    zip.DoOnRequestLastVolume(name = file, cancel);
    EXPECT_TRUE(cancel);  // pack.zip itself is missing
    WriteAll(file, "x");
    zip.DoOnRequestLastVolume(name = file, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(Events, MiddleVolumeHandlerCountsFromOne)
{
    zip.SetSpanningMode(smSplitting);
    int number = 0;
    zip.OnRequestMiddleVolume = [&](TZABaseArchiver*, int32_t n, std::string& vname, bool& c) {
        number = n;
        vname = "chosen";
        c = false;
    };
    std::string name = "D:\\pack.zip";
    bool cancel = true;
    zip.DoOnRequestMiddleVolume(4, name, cancel);
    EXPECT_EQ(number, 5);
    EXPECT_EQ(name, "chosen");
    EXPECT_FALSE(cancel);
}

TEST_F(Events, DiskFullAsksOnlyForSpannedArchives)
{
    bool cancel = false;
    zip.DoOnDiskFull(0, Path("pack.zip"), cancel);
    EXPECT_TRUE(cancel);
    EXPECT_TRUE(dialogs_.Log().empty());

    rtl::SetRemovableFolderForTests(Dir(), "DISK", 12345);
    zip.SetSpanningMode(smSpanning);
    zip.SpanningOptions().VolumeSize = vs1_44MB;
    dialogs_.PushResult(rtl::mrOk);
    zip.DoOnDiskFull(1, Path("pack.zip"), cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(OnlyBox().Text,
              "Disk is full. Required free space: 1457664 bytes, but available only: 12345 bytes. "
              "Clean the disk or find another blank disk");

    int number = 0;
    zip.OnDiskFull = [&](TZABaseArchiver*, int32_t n, const std::string&, bool& c) {
        number = n;
        c = true;
    };
    zip.DoOnDiskFull(0, "x", cancel);
    EXPECT_EQ(number, 1);
    EXPECT_TRUE(cancel);
}

TEST_F(Events, ExtractAndStoreNames)
{
    std::string name = "a/b/c.txt";
    uint32_t attr = 0x20;
    zip.DoOnExtractFile(name, attr, "comment");
    EXPECT_EQ(name, "a\\b\\c.txt");  // also without a handler

    zip.OnExtractFile = [](TZABaseArchiver*, std::string& n, uint32_t& a, const std::string& comment) {
        EXPECT_EQ(comment, "note");
        n = "renamed\\x.txt";
        a = 1;
    };
    name = "x/y";
    zip.DoOnExtractFile(name, attr, "note");
    EXPECT_EQ(name, "renamed\\x.txt");
    EXPECT_EQ(attr, 1u);

    std::string stored = "a/b.txt", comment;
    zip.DoOnStoreFile(stored, attr, comment, "C:\\a\\b.txt");
    EXPECT_EQ(stored, "a/b.txt");  // without a handler nothing changes
    zip.OnStoreFile = [](TZABaseArchiver*, std::string& n, uint32_t&, std::string& c, const std::string& orig) {
        EXPECT_EQ(n, "a\\b.txt");
        EXPECT_EQ(orig, "C:\\a\\b.txt");
        n = "z\\" + n;
        c = "added";
    };
    zip.DoOnStoreFile(stored, attr, comment, "C:\\a\\b.txt");
    EXPECT_EQ(stored, "z/a/b.txt");
    EXPECT_EQ(comment, "added");
}

TEST_F(Events, HiddenEventAndAfterOpenCallOnlyAssignedHandlers)
{
    zip.DoHiddenEvent(1, 2, 3, 4);
    zip.DoAfterOpen();
    int calls = 0;
    zip.HiddenEvent = [&](TZABaseArchiver*, uint8_t k, int32_t a, int32_t b, int32_t c) {
        EXPECT_EQ(k + a + b + c, 10);
        ++calls;
    };
    zip.AfterOpen = [&](TZABaseArchiver*) { ++calls; };
    zip.DoHiddenEvent(1, 2, 3, 4);
    zip.DoAfterOpen();
    EXPECT_EQ(calls, 2);
}

}  // namespace
