// The transparent check box: states, toggling, OnClick from code and from clicks, the first
// click on an unfocused box, keys, the raster drawing over a picture, and a native peer.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/bztCheckBoxT.h"
#include "platform/forms/actions.h"
#include "platform/forms/application.h"
#include "platform/forms/cursors.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "platform/headless/headless.h"
#include "platform/rtl/exceptions.h"

using namespace controls;
using forms::TObject;

namespace {

class CheckBox : public ::testing::Test {
protected:
    headless::TScopedHeadless backend;
    forms::TForm* form = new forms::TForm(&forms::Application());
    TbztCheckBoxT* box = nullptr;
    std::vector<std::string> log;

    void SetUp() override {
        form->SetBounds(0, 0, 200, 100);
        box = new TbztCheckBoxT(form);
        box->SetParent(form);
        box->SetBounds(20, 30, 17, 17);
        box->OnClick = [this](TObject*) { log.push_back(StateName()); };
        form->Show();
    }
    std::string StateName() const {
        switch (box->State()) {
            case cbUnchecked: return "unchecked";
            case cbChecked: return "checked";
            case cbGrayed: return "grayed";
        }
        return "?";
    }
    void ClickBox() { backend->Click(*form, 28, 38); }
};

}  // namespace

TEST_F(CheckBox, CreatedUncheckedWithTheClassDefaults) {
    TbztCheckBoxT fresh(nullptr);
    EXPECT_EQ(fresh.Width(), 97);
    EXPECT_EQ(fresh.Height(), 17);
    EXPECT_EQ(fresh.State(), cbUnchecked);
    EXPECT_FALSE(fresh.Checked());
    EXPECT_TRUE(fresh.TabStop);
    EXPECT_EQ(fresh.Alignment(), taRightJustify);
    EXPECT_FALSE(fresh.AllowGrayed);
    EXPECT_EQ(fresh.ControlStyle(), forms::csSetCaption | forms::csDoubleClicks);
    EXPECT_STREQ(fresh.ClassName(), "TbztCheckBoxT");
}

TEST_F(CheckBox, SettingCheckedFromCodeRunsOnClickOnlyOnChange) {
    box->SetChecked(true);
    EXPECT_EQ(log, (std::vector<std::string>{"checked"}));
    box->SetChecked(true);
    EXPECT_EQ(log.size(), 1u);
    box->SetState(cbGrayed);
    box->SetChecked(false);
    EXPECT_EQ(log, (std::vector<std::string>{"checked", "grayed", "unchecked"}));
}

TEST_F(CheckBox, ClicksDisabledSilencesStateChanges) {
    box->ClicksDisabled = true;
    box->SetChecked(true);
    EXPECT_TRUE(box->Checked());
    box->PeerClicked();  // the button's clicked notification is dropped too
    EXPECT_TRUE(box->Checked());
    EXPECT_TRUE(log.empty());
}

TEST_F(CheckBox, ClicksToggleTwoAndThreeStates) {
    ClickBox();
    ClickBox();
    EXPECT_EQ(log, (std::vector<std::string>{"checked", "unchecked"}));
    log.clear();
    box->AllowGrayed = true;
    ClickBox();
    ClickBox();
    ClickBox();
    EXPECT_EQ(log, (std::vector<std::string>{"grayed", "checked", "unchecked"}));
}

TEST_F(CheckBox, FirstClickFocusesAndTogglesOnce) {
    ASSERT_FALSE(box->Focused());
    ClickBox();
    EXPECT_TRUE(box->Focused());
    EXPECT_EQ(log, (std::vector<std::string>{"checked"}));
}

TEST_F(CheckBox, PressWithoutTheFocusIsDropped) {
    auto* edit = new forms::TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(100, 10, 80, 20);
    box->OnEnter = [edit](TObject*) { edit->SetFocus(); };  // the focus moves away at once
    std::vector<std::string> mouse;
    box->OnMouseDown = [&](TObject*, forms::TMouseButton, forms::TShiftState, int, int) { mouse.push_back("down"); };
    ClickBox();
    EXPECT_FALSE(box->Checked());
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(mouse.empty());
}

TEST_F(CheckBox, ReleaseOutsideDoesNotToggle) {
    backend->MouseDown(*form, 28, 38);
    backend->MouseMove(*form, 120, 80, forms::ssLeft);
    backend->MouseUp(*form, 120, 80);
    EXPECT_FALSE(box->Checked());
    EXPECT_TRUE(box->Focused());
}

TEST_F(CheckBox, DoubleClickTogglesTwice) {
    backend->DoubleClick(*form, 28, 38);
    EXPECT_EQ(log, (std::vector<std::string>{"checked", "unchecked"}));
}

TEST_F(CheckBox, DisabledBoxIgnoresClicks) {
    box->SetEnabled(false);
    ClickBox();
    EXPECT_FALSE(box->Checked());
    box->SetChecked(true);  // code still sets it
    EXPECT_TRUE(box->Checked());
}

TEST_F(CheckBox, SpaceTogglesTheFocusedBox) {
    box->SetFocus();
    backend->Type(*form, " ");
    EXPECT_TRUE(box->Checked());
    box->OnKeyPress = [](TObject*, char& key) { key = 0; };  // a handler may eat the key
    backend->Type(*form, " ");
    EXPECT_TRUE(box->Checked());
}

TEST_F(CheckBox, ClickFromCodeRunsOnClickWithoutToggling) {
    box->Click();
    EXPECT_EQ(log, (std::vector<std::string>{"unchecked"}));
}

// The caption's accelerator reaches the box through the form's keys: a typed letter unless an edit
// box has the focus, Alt+letter from anywhere.
TEST_F(CheckBox, TheAcceleratorComesFromTheFormsKeys) {
    auto* edit = new forms::TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(60, 30, 80, 20);
    struct Case {
        const char* name;
        bool editFocused;
        const char* typed;         // characters typed, or
        forms::TShiftState shift;  // a key with these modifiers
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"letter", false, "p", 0, {"checked"}},
        {"upper case", false, "P", 0, {"checked"}},
        {"other letter", false, "x", 0, {}},
        {"escaped ampersand", false, "m", 0, {}},
        {"letter into the edit", true, "p", 0, {}},
        {"Alt+letter from the edit", true, nullptr, forms::ssAlt, {"checked"}},
        {"Ctrl+Alt+letter", true, nullptr, forms::ssAlt | forms::ssCtrl, {}},
    };
    box->SetCaption("&Proxy && more");
    for (const Case& c : cases) {
        box->ClicksDisabled = true;
        box->SetChecked(false);
        box->ClicksDisabled = false;
        log.clear();
        if (c.editFocused) edit->SetFocus();
        else form->SetActiveControl(nullptr);
        if (c.typed) backend->Type(*form, c.typed);
        else backend->KeyDown(*form, 'P', c.shift);
        EXPECT_EQ(log, c.log) << c.name;
        EXPECT_EQ(box->Focused(), !c.log.empty()) << c.name;
    }
}

// An action's Checked reaches a linked box without its OnClick; without OnClick a click runs the
// action.
TEST_F(CheckBox, AnActionsCheckedReachesTheBoxWithoutAClick) {
    forms::TAction action(nullptr);
    box->SetAction(&action);
    EXPECT_EQ(box->Action(), &action);
    action.SetChecked(true);
    EXPECT_TRUE(box->Checked());
    EXPECT_FALSE(box->ClicksDisabled);
    EXPECT_TRUE(log.empty());
    int executed = 0;
    action.OnExecute = [&](TObject* sender) { executed += sender == &action; };
    box->OnClick = nullptr;
    box->Click();
    EXPECT_EQ(executed, 1);
}

// From code the action's Checked is always copied (loading keeps a checked box: see the
// description tests).
TEST_F(CheckBox, AssigningAnActionCopiesItsChecked) {
    for (bool boxChecked : {false, true}) {
        TbztCheckBoxT fresh(nullptr);
        forms::TAction action(nullptr);
        action.SetChecked(!boxChecked);
        fresh.SetChecked(boxChecked);
        fresh.SetAction(&action);
        EXPECT_EQ(fresh.Checked(), !boxChecked);
    }
}

// A failing state change leaves clicks enabled again and reaches the action's caller; a box out of
// step with the action is not touched.
TEST_F(CheckBox, ClicksComeBackWhenTheActionsChangeFails) {
    struct Failing : TbztCheckBoxT {
        using TbztCheckBoxT::TbztCheckBoxT;
        bool refuse = false;
        void SetState(TCheckBoxState state) override {
            if (refuse) throw rtl::Exception("refused");
            TbztCheckBoxT::SetState(state);
        }
    } failing(nullptr);
    forms::TAction action(nullptr);
    failing.SetAction(&action);
    failing.refuse = true;
    EXPECT_THROW(action.SetChecked(true), rtl::Exception);
    EXPECT_FALSE(failing.ClicksDisabled);
    EXPECT_FALSE(action.Checked());
    failing.refuse = false;
    failing.SetChecked(true);
    failing.refuse = true;
    EXPECT_NO_THROW(action.SetChecked(true));
}

TEST_F(CheckBox, TextAlignmentFollowsReadingOrder) {
    EXPECT_EQ(box->TextAlignment(), taRightJustify);
    box->SetRightToLeft(true);
    EXPECT_EQ(box->TextAlignment(), taLeftJustify);
    box->SetAlignment(taLeftJustify);
    EXPECT_EQ(box->TextAlignment(), taRightJustify);
}

// Over a picture, only the box itself is drawn; every other pixel is the picture's.
TEST_F(CheckBox, RasterShowsThePictureBehind) {
    auto* picture = new forms::TImage(form);
    picture->SetParent(form);
    picture->SetBounds(0, 0, 200, 100);
    forms::TBitmap texture(200, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) texture.SetPixel(x, y, uint32_t(0x010203 * ((x + y) % 50)));
    picture->Picture().SetBitmap(texture);
    picture->SendToBack();
    box->SetChecked(true);
    const forms::TBitmap& raster = form->Raster();
    int boxTop = 30 + (17 - 13) / 2;
    int ticked = 0;
    for (int y = 30; y < 47; ++y)
        for (int x = 20; x < 37; ++x) {
            bool inGlyph = x < 20 + 13 && y >= boxTop && y < boxTop + 13;
            if (inGlyph) {
                ticked += raster.Pixel(x, y) == forms::ColorToPixel(forms::clWindowText);
                continue;
            }
            ASSERT_EQ(raster.Pixel(x, y), texture.Pixel(x, y)) << x << "," << y;
        }
    EXPECT_EQ(raster.Pixel(20, boxTop), forms::ColorToPixel(forms::clBtnShadow));
    EXPECT_EQ(raster.Pixel(21, boxTop + 1), forms::ColorToPixel(forms::clWindow));
    EXPECT_EQ(ticked, 21);
    box->SetChecked(false);
    EXPECT_TRUE(form->NeedsRepaint());
    const forms::TBitmap& cleared = form->Raster();
    EXPECT_EQ(cleared.Pixel(26, boxTop + 7), forms::ColorToPixel(forms::clWindow));
}

// ---- a backend with a native check box peer ----

namespace {

struct FakeCheckPeer : public headless::THeadlessControlPeer, public forms::ICheckBoxPeer {
    explicit FakeCheckPeer(std::vector<FakeCheckPeer*>& made) { made.push_back(this); }
    void SetState(forms::TCheckBoxPeerState s) override { states.push_back(s); }
    void SetCaption(const std::string& c) override { caption = c; }
    void SetLayout(bool left, bool wrap) override { captionLeft = left, wordWrap = wrap; }
    void SetFont(const forms::TFont&) override {}
    std::vector<forms::TCheckBoxPeerState> states;
    std::string caption;
    bool captionLeft = false, wordWrap = false;
};

class PeerBackend : public headless::THeadlessBackend {
public:
    std::unique_ptr<forms::IControlPeer> CreateNativePeer(const std::string& kind, forms::TWinControl&,
                                                          forms::IWindowPeer&) override {
        if (kind != forms::kCheckBoxPeerKind) return nullptr;
        return std::make_unique<FakeCheckPeer>(made);
    }
    std::vector<FakeCheckPeer*> made;
};

class NativeCheckBox : public ::testing::Test {
protected:
    PeerBackend backend;
    forms::TForm* form = nullptr;
    TbztCheckBoxT* box = nullptr;
    int clicks = 0;
    void SetUp() override {
        forms::ResetApplication();
        forms::SetBackend(&backend);
        form = new forms::TForm(&forms::Application());
        form->SetBounds(0, 0, 100, 100);
        box = new TbztCheckBoxT(form);
        box->SetChecked(true);  // before the window exists
        box->OnClick = [this](TObject*) { ++clicks; };
        box->SetParent(form);
        form->Show();
    }
    void TearDown() override {
        forms::ResetApplication();
        forms::Screen().Clear();
        forms::SetBackend(nullptr);
    }
    FakeCheckPeer& Peer() { return *backend.made.back(); }
};

}  // namespace

TEST_F(NativeCheckBox, StateReachesTheButtonAndClicksComeBack) {
    ASSERT_EQ(backend.made.size(), 1u);
    EXPECT_EQ(Peer().states, (std::vector<forms::TCheckBoxPeerState>{forms::cpsChecked}));
    EXPECT_EQ(box->PeerClicked(), forms::cpsUnchecked);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(Peer().states.back(), forms::cpsUnchecked);
    box->SetState(cbGrayed);
    EXPECT_EQ(Peer().states.back(), forms::cpsGrayed);
    box->OnClick = [this](TObject*) { box->ClicksDisabled = true, box->SetChecked(false), box->ClicksDisabled = false; };
    EXPECT_EQ(box->PeerClicked(), forms::cpsUnchecked);  // a handler may overrule the toggle
}

TEST_F(NativeCheckBox, LayoutChangesRecreateTheButtonWithItsState) {
    box->SetCaption("Use");
    box->SetAlignment(taLeftJustify);
    ASSERT_EQ(backend.made.size(), 2u);
    EXPECT_TRUE(Peer().captionLeft);
    EXPECT_EQ(Peer().caption, "Use");
    EXPECT_EQ(Peer().states, (std::vector<forms::TCheckBoxPeerState>{forms::cpsChecked}));
    box->SetWordWrap(true);
    ASSERT_EQ(backend.made.size(), 3u);
    EXPECT_TRUE(Peer().wordWrap);
    box->SetWordWrap(true);
    EXPECT_EQ(backend.made.size(), 3u);
    EXPECT_EQ(clicks, 0);
}

TEST_F(NativeCheckBox, TheNativeButtonDrawsItselfSoTheRasterStaysBare) {
    const forms::TBitmap& raster = form->Raster();
    uint32_t background = forms::ColorToPixel(form->Color());
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 97; ++x) ASSERT_EQ(raster.Pixel(x, y), background);
}

// OnClick handlers may free the box (a dialog closing itself); nothing touches it afterwards.
TEST_F(CheckBox, HandlerMayFreeTheBox) {
    box->OnClick = [this](TObject*) {
        box->Free();
        box = nullptr;
    };
    backend->DoubleClick(*form, 28, 38);
    EXPECT_EQ(box, nullptr);
}

TEST_F(NativeCheckBox, HandlerMayFreeTheBoxDuringThePeersClick) {
    box->OnClick = [this](TObject*) {
        box->Free();
        box = nullptr;
    };
    TbztCheckBoxT* clicked = box;
    clicked->PeerClicked();
    EXPECT_EQ(box, nullptr);
}
