// The application: message loop, Terminate, re-entrant ProcessMessages, the default error report,
// form closing, activation of the application as a whole, timers in virtual time, Halt.
#include <cstdio>

#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/forms/timer.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "test_util.h"

using namespace forms;

namespace {

class App : public formstest::HeadlessTest {
protected:
    rtl::ScriptedDialogs dialogs;
    void SetUp() override { rtl::SetDialogService(&dialogs); }
    void TearDown() override { rtl::SetDialogService(nullptr); }
};

TEST_F(App, TerminateTakesEffectAfterTheRunningHandlerReturns) {
    TForm* main = nullptr;
    Application().CreateForm(main);
    EXPECT_EQ(Application().MainForm(), main);
    std::vector<std::string> steps;
    main->OnShow = [&](TObject*) {
        steps.push_back("show");
        Backend().Post([&] {
            steps.push_back("first message");
            Application().Terminate();
            steps.push_back("handler goes on");
        });
        Backend().Post([&] { steps.push_back("never"); });
    };
    EXPECT_EQ(Application().Run(), 0);
    std::vector<std::string> expected{"show", "first message", "handler goes on"};
    EXPECT_EQ(steps, expected);
    EXPECT_TRUE(Application().Terminated());
    EXPECT_TRUE(backend->WindowOf(*main)->Visible);
}

TEST_F(App, ProcessMessagesIsReentrantFromHandlers) {
    std::vector<int> order;
    Backend().Post([&] {
        order.push_back(1);
        Backend().Post([&] {
            order.push_back(3);
            Backend().Post([&] { order.push_back(4); });
            Application().ProcessMessages();  // nested pump inside a pumped handler
            order.push_back(5);
        });
        Application().ProcessMessages();
        order.push_back(6);
    });
    Backend().Post([&] { order.push_back(2); });
    Application().ProcessMessages();
    std::vector<int> expected{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(order, expected);
}

TEST_F(App, AnExceptionLeavingAHandlerIsReportedAndTheLoopGoesOn) {
    Application().Title = "Book";
    auto* form = new TForm(&Application());
    form->SetBounds(0, 0, 100, 100);
    form->Show();
    int clicks = 0;
    form->OnClick = [&](TObject*) {
        ++clicks;
        throw rtl::EInOutError("File not found", 2);
    };
    backend->Click(*form, 5, 5);
    auto* timer = new TTimer(form);
    timer->SetInterval(100);
    timer->OnTimer = [](TObject*) { throw rtl::Exception("Ends with a full stop."); };
    backend->Advance(100);
    backend->Click(*form, 5, 5);
    EXPECT_EQ(clicks, 2);
    auto log = dialogs.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].Kind, "MessageBox");
    EXPECT_EQ(log[0].Text, "File not found.");
    EXPECT_EQ(log[0].Caption, "Book");
    EXPECT_EQ(log[0].Flags, rtl::MB_OK | rtl::MB_ICONERROR);
    EXPECT_EQ(log[1].Text, "Ends with a full stop.");

    std::string seen;
    Application().OnException = [&](TObject*, const std::exception& e) { seen = e.what(); };
    backend->Click(*form, 5, 5);
    EXPECT_EQ(seen, "File not found");
    EXPECT_EQ(dialogs.Log().size(), 3u);
}

TEST_F(App, ClosingTheMainFormEndsTheApplicationOtherFormsHide) {
    TForm* main = nullptr;
    TForm* dialog = nullptr;
    Application().CreateForm(main);
    Application().CreateForm(dialog);
    main->Show();
    dialog->Show();
    std::vector<std::string> closes;
    dialog->OnClose = [&](TObject*, TCloseAction& action) {
        closes.push_back("dialog");
        EXPECT_EQ(action, caHide);
    };
    main->OnClose = [&](TObject*, TCloseAction& action) {
        closes.push_back("main");
        action = closes.size() == 2 ? caNone : caFree;
    };
    backend->CloseWindow(*dialog);
    EXPECT_FALSE(dialog->Visible());
    EXPECT_FALSE(backend->WindowOf(*dialog)->Visible);
    backend->CloseWindow(*main);  // caNone keeps it
    EXPECT_FALSE(Application().Terminated());
    main->Close();
    EXPECT_TRUE(Application().Terminated());
    EXPECT_EQ(closes.size(), 3u);
}

TEST_F(App, ReleaseFreesTheFormFromTheLoopAndDestroyRuns) {
    auto* form = new TForm(&Application());
    bool destroyed = false;
    form->OnDestroy = [&](TObject*) { destroyed = true; };
    form->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
    form->Show();
    form->Close();
    EXPECT_FALSE(destroyed);
    Application().ProcessMessages();
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(backend->Windows().empty());
}

TEST_F(App, ActivationIsForTheApplicationAsAWhole) {
    auto* a = new TForm(&Application());
    auto* b = new TForm(&Application());
    std::vector<std::string> events;
    Application().OnActivate = [&](TObject*) { events.push_back("activate"); };
    Application().OnDeactivate = [&](TObject*) { events.push_back("deactivate"); };
    backend->ActivateWindow(*a, true);
    Application().ProcessMessages();
    backend->ActivateWindow(*a, false);  // a switch from a to b
    backend->ActivateWindow(*b, true);
    Application().ProcessMessages();
    backend->ActivateWindow(*b, false);
    Application().ProcessMessages();
    std::vector<std::string> expected{"activate", "deactivate"};
    EXPECT_EQ(events, expected);
}

TEST_F(App, TimersRunInVirtualTimeAndStopWhenDisabledOrFreed) {
    auto* form = new TForm(&Application());
    auto* fast = new TTimer(form);
    fast->SetInterval(100);
    auto* slow = new TTimer(form);
    slow->SetInterval(250);
    std::vector<std::string> ticks;
    fast->OnTimer = [&](TObject*) {
        ticks.push_back("fast" + std::to_string(backend->Now()));
        if (backend->Now() == 300) fast->SetEnabled(false);
    };
    slow->OnTimer = [&](TObject*) {
        ticks.push_back("slow" + std::to_string(backend->Now()));
        delete slow;  // freeing a timer from its own tick
        slow = nullptr;
    };
    backend->Advance(1000);
    std::vector<std::string> expected{"fast100", "fast200", "slow250", "fast300"};
    EXPECT_EQ(ticks, expected);
    EXPECT_EQ(backend->TimerCount(), 0);
    fast->SetEnabled(true);
    EXPECT_EQ(backend->TimerCount(), 1);
}

TEST_F(App, RunWithoutAnythingToDoReturnsInTheHeadlessLoop) {
    auto* form = new TForm(&Application());
    Application().SetMainForm(form);
    auto* timer = new TTimer(form);
    timer->SetInterval(500);
    int ticks = 0;
    timer->OnTimer = [&](TObject*) {
        if (++ticks == 3) Application().Terminate();
    };
    Application().Run();
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(backend->Now(), 1500);
}

TEST(AppHalt, HaltDestroysTheFormsAndEndsTheProcessWithTheCode) {
    auto halt = [] {
        auto* form = new TForm(&Application());
        form->OnDestroy = [](TObject*) { std::fputs("form destroyed\n", stderr); };
        Application().Halt(3);
    };
    EXPECT_EXIT(halt(), ::testing::ExitedWithCode(3), "form destroyed");
}

}  // namespace

namespace {

class TWithState : public TForm {
public:
    explicit TWithState(TComponent* owner) : TForm(owner) {
        OnDestroy = [this](TObject*) { seen->push_back(state); };
    }
    std::string state = "alive";
    std::vector<std::string>* seen = nullptr;
};

TEST_F(App, OnDestroyRunsWhileTheWholeFormStillExists) {
    std::vector<std::string> seen;
    auto* owned = new TWithState(&Application());
    owned->seen = &seen;
    auto* freed = new TWithState(nullptr);
    freed->seen = &seen;
    freed->state = "freed";
    freed->Free();
    ResetApplication();  // the owner frees its forms the same way
    std::vector<std::string> expected{"freed", "alive"};
    EXPECT_EQ(seen, expected);
}

}  // namespace
