#include "platform/rtl/dialogs.h"

#include <gtest/gtest.h>

#include "platform/rtl/codepage.h"

using namespace rtl;

namespace {

// Installs a service for one test and restores the default afterwards.
class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override { SetDialogService(&script); }
    void TearDown() override { SetDialogService(nullptr); }
    ScriptedDialogs script;
};

}  // namespace

TEST(MsgDlgButtonsTest, SetOperations) {
    TMsgDlgButtons yesNo = mbYes | mbNo;
    EXPECT_TRUE(yesNo.Contains(mbYes));
    EXPECT_TRUE(yesNo.Contains(mbNo));
    EXPECT_FALSE(yesNo.Contains(mbOK));  // mbYes | mbNo must not decay to the integer 1 (= mbNo)
    EXPECT_EQ(yesNo | mbCancel, mbYesNoCancel);
    EXPECT_EQ((TMsgDlgButtons{mbOK, mbCancel}), mbOKCancel);
    EXPECT_EQ(TMsgDlgButtons(mbHelp).Bits(), 1u << 10);
}

TEST_F(DialogsTest, AnswersInOrderAndLogsEveryBox) {
    script.PushResult(IDYES);
    script.PushResult(mrRetry);
    script.PushInput(true, "secret");
    script.PushInput(false, "ignored");
    EXPECT_EQ(script.PendingAnswers(), 4u);

    EXPECT_EQ(Dialogs().MessageBox(Ru("Заменить?"), Ru("Внимание"), MB_YESNO | MB_ICONQUESTION), IDYES);
    Dialogs().ShowMessage("no answer taken");
    EXPECT_EQ(MessageDlg("Disk error", mtError, mbAbortRetryIgnore), mrRetry);
    std::string password = "old";
    EXPECT_TRUE(Dialogs().InputQuery("Password", "Enter password", password, true));
    EXPECT_EQ(password, "secret");
    std::string kept = "kept";
    EXPECT_FALSE(InputQuery("Name", "Your name", kept));
    EXPECT_EQ(kept, "kept");
    EXPECT_EQ(script.PendingAnswers(), 0u);

    auto log = script.Log();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].Kind, "MessageBox");
    EXPECT_EQ(log[0].Caption, Ru("Внимание"));
    EXPECT_EQ(log[0].Text, Ru("Заменить?"));
    EXPECT_EQ(log[0].Flags, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(log[0].Result, IDYES);
    EXPECT_EQ(log[1].Kind, "ShowMessage");
    EXPECT_EQ(log[1].Text, "no answer taken");
    EXPECT_EQ(log[2].Kind, "MessageDlg");
    EXPECT_EQ(log[2].Type, mtError);
    EXPECT_EQ(log[2].Buttons, mbAbortRetryIgnore);
    EXPECT_EQ(log[3].Kind, "InputQuery");
    EXPECT_EQ(log[3].Caption, "Password");
    EXPECT_EQ(log[3].Text, "Enter password");
    EXPECT_TRUE(log[3].Password);
    EXPECT_EQ(log[3].Result, 1);
    EXPECT_FALSE(log[4].Password);
    EXPECT_EQ(log[4].Result, 0);
    script.ClearLog();
    EXPECT_TRUE(script.Log().empty());
}

TEST_F(DialogsTest, EmptyQueueClosesTheBoxAnotherWay) {
    EXPECT_EQ(Dialogs().MessageBox("t", "c", MB_OK), 0);
    EXPECT_EQ(Dialogs().MessageDlg("m", mtConfirmation, mbYesNoCancel), mrNone);
    std::string value = "v";
    EXPECT_FALSE(Dialogs().InputQuery("c", "p", value, false));
    EXPECT_EQ(value, "v");
    EXPECT_EQ(script.Log().size(), 3u);
}

TEST(DefaultDialogsTest, WritesToStderrAndAnswersAsClosing) {
    SetDialogService(nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Dialogs().MessageBox(Ru("Ошибка чтения"), Ru("Справочник"), MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(Dialogs().MessageBox("q", "c", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(Dialogs().MessageBox("q", "c", MB_YESNO), 0);
    EXPECT_EQ(Dialogs().MessageDlg("m", mtWarning, mbOKCancel), mrCancel);
    EXPECT_EQ(Dialogs().MessageDlg("m", mtConfirmation, mbYes | mbNo), mrNo);
    EXPECT_EQ(Dialogs().MessageDlg("m", mtInformation, mbOK), mrOk);
    std::string value;
    EXPECT_FALSE(Dialogs().InputQuery("c", "p", value, true));
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Справочник: Ошибка чтения\n"), std::string::npos) << err;
}
