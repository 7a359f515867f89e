// Mouse capture, click and double-click order, hover, hints, cursors, keys, shortcuts, typing.
#include <algorithm>

#include "platform/forms/actions.h"
#include "platform/forms/application.h"
#include "platform/forms/cursors.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "test_util.h"

using namespace forms;

namespace {

class Input : public formstest::HeadlessTest {
protected:
    TForm* form = new TForm(&Application());
    std::vector<std::string> log;
    TImage* AddImage(const std::string& name, int l, int t, int w, int h) {
        auto* image = new TImage(form);
        image->SetName(name);
        image->SetParent(form);
        image->SetBounds(l, t, w, h);
        image->OnMouseDown = [this, name](TObject*, TMouseButton, TShiftState s, int x, int y) {
            log.push_back(name + " down " + std::to_string(x) + "," + std::to_string(y) +
                          ((s & ssDouble) ? " double" : ""));
        };
        image->OnMouseUp = [this, name](TObject*, TMouseButton, TShiftState, int x, int y) {
            log.push_back(name + " up " + std::to_string(x) + "," + std::to_string(y));
        };
        image->OnMouseMove = [this, name](TObject*, TShiftState, int x, int y) {
            log.push_back(name + " move " + std::to_string(x) + "," + std::to_string(y));
        };
        image->OnClick = [this, name](TObject*) { log.push_back(name + " click"); };
        image->OnDblClick = [this, name](TObject*) { log.push_back(name + " dblclick"); };
        return image;
    }
    void SetUp() override {
        form->SetBounds(0, 0, 300, 200);
        form->Show();
    }
};

TEST_F(Input, MouseIsCapturedFromDownToUp) {
    AddImage("a", 0, 0, 50, 50);
    AddImage("b", 100, 0, 50, 50);
    backend->MouseDown(*form, 10, 10);
    backend->MouseMove(*form, 120, 10, ssLeft);  // over b, but a holds the capture
    backend->MouseUp(*form, 120, 10);
    std::vector<std::string> expected{"a down 10,10", "a move 120,10", "a up 120,10"};
    EXPECT_EQ(log, expected);  // released outside: no click
    log.clear();
    backend->MouseMove(*form, 120, 10);
    EXPECT_EQ(log, std::vector<std::string>{"b move 20,10"});
}

TEST_F(Input, ClickComesBeforeMouseUpAndDoubleClickReplacesTheSecondClick) {
    AddImage("a", 10, 10, 50, 50);
    backend->DoubleClick(*form, 20, 30);
    std::vector<std::string> expected{"a move 10,20", "a down 10,20",        "a click", "a up 10,20",
                                      "a dblclick",   "a down 10,20 double", "a up 10,20"};
    EXPECT_EQ(log, expected);
}

TEST_F(Input, HandlerFreeingItsControlDuringClickIsSafe) {
    TImage* a = AddImage("a", 10, 10, 50, 50);
    a->OnClick = [&](TObject* sender) { delete static_cast<TImage*>(sender); };
    backend->Click(*form, 20, 20);
    EXPECT_EQ(form->ControlCount(), 0);
    backend->MouseMove(*form, 25, 25);
    EXPECT_EQ(form->HoverControl(), form);
}

TEST_F(Input, HoverRaisesEnterLeaveAndShowsTheShortHint) {
    TImage* a = AddImage("a", 0, 0, 50, 50);
    a->Hint = "Close|Closes the window";
    a->ShowHint = true;
    a->OnMouseEnter = [&](TObject*) { log.push_back("enter"); };
    a->OnMouseLeave = [&](TObject*) { log.push_back("leave"); };
    backend->MouseMove(*form, 10, 10);
    auto* window = backend->WindowOf(*form);
    EXPECT_TRUE(window->TooltipVisible);
    EXPECT_EQ(window->Tooltip, "Close");
    backend->MouseMove(*form, 100, 100);
    EXPECT_FALSE(window->TooltipVisible);
    std::vector<std::string> expected{"enter", "a move 10,10", "leave"};
    EXPECT_EQ(log, expected);
}

TEST_F(Input, CursorComesFromTheControlUnderThePointerAndLoadedCursors) {
    TImage* grip = AddImage("grip", 0, 0, 20, 20);
    grip->SetCursor(crSizeNWSE);
    auto* window = backend->WindowOf(*form);
    backend->MouseMove(*form, 5, 5);
    EXPECT_EQ(window->Cursor, crSizeNWSE);
    backend->MouseMove(*form, 100, 100);
    EXPECT_EQ(window->Cursor, crDefault);

    formstest::TempFolder folder;
    folder.Write("cursor.cur", std::string("\0\0\2\0\1\0", 6) + std::string(40, '\0'));
    EXPECT_TRUE(Screen().LoadCursor(1, folder.Path() + "cursor.cur"));
    EXPECT_FALSE(Screen().LoadCursor(2, folder.Path() + "missing.cur"));
    form->SetCursor(1);
    EXPECT_EQ(window->Cursor, 1);
    EXPECT_NE(window->CustomCursor, nullptr);
    form->SetCursor(2);  // a cursor that did not load shows the default one
    EXPECT_EQ(window->Cursor, 2);
    EXPECT_EQ(window->CustomCursor, nullptr);
}

TEST_F(Input, MoveDragReleasesTheCaptureAndMovesTheWindow) {
    TImage* header = AddImage("header", 0, 0, 300, 20);
    header->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { form->BeginMoveDrag(); };
    backend->MouseDown(*form, 10, 10);
    EXPECT_TRUE(backend->WindowOf(*form)->MoveDragging);
    EXPECT_EQ(form->CaptureControl(), nullptr);
    backend->FinishMoveDrag(*form, 200, 150);
    EXPECT_EQ(form->Left(), 200);
    EXPECT_EQ(form->Top(), 150);
}

TEST_F(Input, ShortcutsReachActionsWhateverHasTheFocus) {
    auto* list = new TActionList(form);
    auto* update = new TAction(form);
    update->SetActionList(list);
    update->ShortCut = 113;  // F2
    auto* left = new TAction(form);
    left->SetActionList(list);
    left->ShortCut = TextToShortCut("Ctrl+Left");
    left->SecondaryShortCuts = {"ctrl+left", "Shift+F3"};
    auto* index = new TAction(form);
    index->SetActionList(list);
    index->ShortCut = 16422;  // Ctrl+Up
    std::vector<std::string> ran;
    update->OnExecute = [&](TObject*) { ran.push_back("update"); };
    left->OnExecute = [&](TObject*) { ran.push_back("left"); };
    index->OnExecute = [&](TObject*) { ran.push_back("index"); };

    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetFocus();
    uint16_t seenByEdit = 0;
    edit->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState) { seenByEdit = key; };

    EXPECT_TRUE(backend->KeyDown(*form, VK_F1 + 1));
    EXPECT_TRUE(backend->KeyDown(*form, VK_LEFT, ssCtrl));
    EXPECT_TRUE(backend->KeyDown(*form, VK_F1 + 2, ssShift));
    EXPECT_TRUE(backend->KeyDown(*form, VK_UP, ssCtrl));
    EXPECT_EQ(seenByEdit, 0);
    EXPECT_FALSE(backend->KeyDown(*form, VK_UP));
    EXPECT_EQ(seenByEdit, VK_UP);
    std::vector<std::string> expected{"update", "left", "left", "index"};
    EXPECT_EQ(ran, expected);

    update->OnExecute = [&](TObject*) { ran.push_back("replaced"); };
    backend->KeyDown(*form, VK_F1 + 1);
    EXPECT_EQ(ran.back(), "replaced");
}

TEST(ShortCuts, TextsAndCodes) {
    EXPECT_EQ(TextToShortCut("Ctrl+Up"), 16422);
    EXPECT_EQ(TextToShortCut("F2"), 113);
    EXPECT_EQ(TextToShortCut("ctrl+left"), scCtrl | VK_LEFT);
    EXPECT_EQ(TextToShortCut("Shift+Ctrl+A"), scShift | scCtrl | 'A');
    EXPECT_EQ(TextToShortCut("Hyper+A"), scNone);
    EXPECT_EQ(TextToShortCut(""), scNone);
    EXPECT_EQ(ShortCutToText(16422), "Ctrl+Up");
    EXPECT_EQ(ShortCutToText(123), "F12");
}

TEST_F(Input, EditTakesTypingWithinMaxLengthAndSeesEnterAs13) {
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 100, 20);
    edit->SetMaxLength(5);
    std::vector<int> keys;
    edit->OnKeyPress = [&](TObject*, char& key) {
        keys.push_back(static_cast<unsigned char>(key));
        if (key == 13) key = 0;  // Enter runs the search and is swallowed
    };
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    backend->Click(*form, 20, 20);  // a click focuses it
    EXPECT_EQ(form->ActiveControl(), edit);
    backend->Type(*form, std::string("\xEF\xF0\xE8\xE2\xE5\xF2!"));  // seven cp1251 characters
    EXPECT_EQ(edit->Text(), "\xEF\xF0\xE8\xE2\xE5");
    backend->Type(*form, "\b");
    EXPECT_EQ(edit->Text(), "\xEF\xF0\xE8\xE2");
    backend->PressEnter(*form);
    EXPECT_EQ(keys.back(), 13);
    EXPECT_EQ(edit->Text(), "\xEF\xF0\xE8\xE2");
    EXPECT_EQ(changes, 6);
    auto* peer = dynamic_cast<headless::THeadlessEditPeer*>(edit->Peer());
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(peer->Text, edit->Text());
    EXPECT_EQ(peer->MaxLength, 5);
    edit->PeerTextChanged("typed natively");  // a native widget's text comes back cut to MaxLength
    EXPECT_EQ(edit->Text(), "typed");
}

}  // namespace

namespace {

TEST_F(Input, HidingTheHoveredControlDropsHoverAndCapture) {
    TImage* a = AddImage("a", 0, 0, 50, 50);
    a->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { a->SetVisible(false); };
    backend->MouseMove(*form, 10, 10);
    EXPECT_EQ(form->HoverControl(), a);
    backend->MouseDown(*form, 10, 10);
    EXPECT_EQ(form->HoverControl(), nullptr);
    EXPECT_EQ(form->CaptureControl(), nullptr);
    int formUps = 0;
    form->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++formUps; };
    backend->MouseUp(*form, 10, 10);
    EXPECT_EQ(formUps, 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "a up 10,10"), 0);
}

TEST_F(Input, FormMouseMoveFiresOnlyOverTheFormItself) {
    AddImage("a", 0, 0, 50, 50);
    std::vector<std::string> moves;
    form->OnMouseMove = [&](TObject*, TShiftState, int x, int y) {
        moves.push_back(std::to_string(x) + "," + std::to_string(y));
    };
    backend->MouseMove(*form, 10, 10);
    backend->MouseMove(*form, 100, 60);
    EXPECT_EQ(moves, std::vector<std::string>{"100,60"});
}

TEST_F(Input, WindowStateReachesThePeer) {
    auto* window = backend->WindowOf(*form);
    form->SetCaption("\xCA\xED\xE8\xE3\xE0");
    form->SetFormStyle(fsStayOnTop);
    EXPECT_EQ(window->Caption, "\xCA\xED\xE8\xE3\xE0");
    EXPECT_TRUE(window->StayOnTop);
    form->Minimize();
    EXPECT_TRUE(window->Minimized);
    form->Hide();
    EXPECT_FALSE(window->Visible);
    form->Show();
    EXPECT_TRUE(window->Visible);
    EXPECT_EQ(Screen().WorkAreaRect(), backend->WorkArea());
}

}  // namespace

namespace {

// Focus handlers may free their own control; nothing may touch it afterwards.
TEST_F(Input, FocusHandlersMayFreeTheirOwnControl) {
    auto* first = new TEdit(form);
    first->SetParent(form);
    auto* second = new TEdit(form);
    second->SetParent(form);
    bool exited = false;
    first->OnEnter = [](TObject* sender) { static_cast<TEdit*>(sender)->Free(); };
    first->SetFocus();
    EXPECT_EQ(form->ActiveControl(), nullptr);

    second->OnExit = [&](TObject* sender) {
        exited = true;
        static_cast<TEdit*>(sender)->Free();
    };
    second->SetFocus();
    auto* third = new TEdit(form);
    third->SetParent(form);
    third->SetFocus();
    EXPECT_TRUE(exited);
    EXPECT_EQ(form->ActiveControl(), third);
}

}  // namespace
