// Context menus (right click, menu key, OnContextPopup, a parent's menu) and dragging between
// controls (automatic and manual starts, acceptance, drop, cancel, a target on another form).
#include <string>
#include <vector>

#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/forms/formdesc.h"
#include "platform/forms/image.h"
#include "platform/forms/menus.h"
#include "platform/forms/panel.h"
#include "test_util.h"

using namespace forms;

namespace {

std::string Pos(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

class Menus : public formstest::HeadlessTest {
protected:
    TForm* form = new TForm(&Application());
    TPanel* panel = new TPanel(form);
    TImage* image = new TImage(form);
    TPopupMenu* menu = new TPopupMenu(form);
    std::vector<std::string> log;

    void SetUp() override {
        form->SetBounds(0, 0, 300, 200);
        panel->SetParent(form);
        panel->SetBounds(100, 50, 150, 100);
        image->SetParent(panel);
        image->SetBounds(10, 10, 40, 40);
        for (const char* caption : {"&Open", "-", "Close"}) {
            auto* item = new TMenuItem(form);
            item->Caption = caption;
            item->OnClick = [this, caption](TObject*) { log.push_back(std::string("pick ") + caption); };
            menu->Add(item);
        }
        form->Show();
    }
    void Watch(TControl* control, const std::string& name, bool handle) {
        control->OnContextPopup = [this, name, handle](TObject*, TPoint p, bool& handled) {
            log.push_back(name + " " + Pos(p.X, p.Y));
            handled = handle;
        };
    }
};

TEST_F(Menus, ARightClickShowsTheControlsOrItsParentsMenuWhereItWasClicked) {
    struct Case {
        bool imageHasMenu, imageHandles;
        std::vector<std::string> log;
        size_t menus;
        TPoint at;
    };
    const Case cases[] = {
        {true, false, {"image 5,6"}, 1, {115, 66}},
        {false, false, {"image 5,6", "panel 15,16"}, 1, {115, 66}},  // the panel's menu
        {true, true, {"image 5,6"}, 0, {}},                           // handled: no menu
    };
    for (const Case& c : cases) {
        log.clear();
        backend->MenusShown.clear();
        image->SetPopupMenu(c.imageHasMenu ? menu : nullptr);
        panel->SetPopupMenu(menu);
        Watch(image, "image", c.imageHandles);
        Watch(panel, "panel", false);
        backend->MouseDown(*form, 115, 66, mbRight);
        EXPECT_TRUE(backend->MenusShown.empty());  // the release asks for the menu
        backend->MouseUp(*form, 115, 66, mbRight);
        EXPECT_EQ(log, c.log);
        ASSERT_EQ(backend->MenusShown.size(), c.menus);
        if (c.menus) {
            EXPECT_EQ(backend->MenusShown[0].at, c.at);
        }
    }
}

TEST_F(Menus, TheMenuKeyAsksForTheFocusedControlAndAPickRunsTheItem) {
    form->SetPopupMenu(menu);
    Watch(form, "form", false);
    menu->Items(2)->Enabled = false;
    menu->Items(0)->Visible = false;
    EXPECT_TRUE(backend->KeyDown(*form, VK_APPS));
    EXPECT_TRUE(backend->KeyDown(*form, VK_F10, ssShift));
    EXPECT_EQ(log, (std::vector<std::string>{"form -1,-1", "form -1,-1"}));
    ASSERT_EQ(backend->MenusShown.size(), 2u);
    const auto& shown = backend->MenusShown[0];
    EXPECT_EQ(shown.at, (TPoint{0, 0}));
    ASSERT_EQ(shown.entries.size(), 2u);  // the hidden item is left out
    EXPECT_EQ(shown.entries[0].caption, "-");
    EXPECT_FALSE(shown.entries[1].enabled);
    log.clear();
    menu->Items(0)->Visible = true;
    menu->Items(2)->Enabled = true;
    backend->KeyDown(*form, VK_APPS);
    backend->ChooseMenuEntry(2);
    EXPECT_EQ(log, (std::vector<std::string>{"form -1,-1", "pick Close"}));
    delete menu;  // a freed menu leaves no reference behind
    EXPECT_EQ(form->PopupMenu(), nullptr);
    backend->ChooseMenuEntry(0);
    EXPECT_EQ(log.size(), 2u);
}

// ---- dragging ----

class Drag : public formstest::HeadlessTest {
protected:
    TForm* form = new TForm(&Application());
    TImage* source = new TImage(form);
    TImage* target = new TImage(form);
    TImage* other = new TImage(form);
    std::vector<std::string> log;
    bool accept = true;

    TImage* Place(TImage* image, const std::string& name, int left) {
        image->SetName(name);
        image->SetParent(form);
        image->SetBounds(left, 10, 50, 50);
        image->OnMouseDown = [this, name](TObject*, TMouseButton, TShiftState, int, int) {
            log.push_back(name + " down");
        };
        return image;
    }
    void SetUp() override {
        form->SetBounds(0, 0, 300, 100);
        Place(source, "source", 10);
        Place(target, "target", 100);
        Place(other, "other", 200);
        source->OnStartDrag = [this](TObject*, TDragObject*&) { log.push_back("start"); };
        source->OnEndDrag = [this](TObject*, TObject* to, int x, int y) {
            log.push_back("end " + (to ? static_cast<TComponent*>(to)->Name() : std::string("none")) + " " + Pos(x, y));
        };
        target->OnDragOver = [this](TObject*, TObject* from, int x, int y, TDragState state, bool& accepted) {
            const char* names[] = {"enter", "leave", "move"};
            log.push_back(std::string("over ") + names[state] + " " + Pos(x, y) +
                          (from == source ? "" : " from?"));
            accepted = accept;
        };
        target->OnDragDrop = [this](TObject*, TObject*, int x, int y) { log.push_back("drop " + Pos(x, y)); };
        source->OnStartDock = [this](TObject*, TDragDockObject*&) { log.push_back("dock"); };
        source->OnEndDock = [this](TObject*, TObject*, int, int) { log.push_back("dock end"); };
        form->Show();
    }
    void Move(int x, int y) { backend->MouseMove(*form, x, y, ssLeft); }
};

TEST_F(Drag, AnAutomaticDragEntersMovesAndDropsOnAnAcceptingTarget) {
    source->DragMode = dmAutomatic;
    source->DragCursor = crHandPoint;
    backend->MouseDown(*form, 20, 20);
    Move(110, 20);
    EXPECT_EQ(backend->WindowOf(*form)->Cursor, crHandPoint);
    Move(120, 25);
    Move(210, 20);  // no handler: not accepted
    EXPECT_EQ(backend->WindowOf(*form)->Cursor, crNoDrop);
    Move(130, 30);
    backend->MouseUp(*form, 130, 30);
    EXPECT_EQ(log, (std::vector<std::string>{"start", "over enter 10,10", "over move 20,15", "over leave 20,15",
                                             "over enter 30,20", "over leave 30,20",
                                             "drop 30,20", "end target 30,20"}));
    EXPECT_EQ(backend->WindowOf(*form)->Cursor, crDefault);
    EXPECT_FALSE(source->Dragging());
}

TEST_F(Drag, RefusedDropsEscapeAndDockingEndWithoutATarget) {
    struct Case {
        const char* name;
        bool accept;
        bool escape;
        TDragKind kind;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"refused", false, false, dkDrag, {"start", "over enter 10,10", "over leave 10,10", "end none 0,0"}},
        {"escape", true, true, dkDrag, {"start", "over enter 10,10", "over leave 10,10", "end none 0,0"}},
        {"dock", true, false, dkDock, {"source down"}},  // no docking: a plain press
    };
    for (const Case& c : cases) {
        log.clear();
        accept = c.accept;
        source->DragMode = dmAutomatic;
        source->DragKind = c.kind;
        backend->MouseDown(*form, 20, 20);
        Move(110, 20);
        if (c.escape) {
            EXPECT_TRUE(backend->KeyDown(*form, VK_ESCAPE));
        }
        backend->MouseUp(*form, 110, 20);
        EXPECT_EQ(log, c.log) << c.name;
    }
}

TEST_F(Drag, AManualDragWaitsForTheThresholdAndReachesAnotherForm) {
    auto* second = new TForm(&Application());
    second->SetBounds(300, 0, 100, 100);
    auto* far = new TImage(second);
    far->SetName("far");
    far->SetParent(second);
    far->SetBounds(0, 0, 100, 100);
    far->OnDragOver = target->OnDragOver;
    far->OnDragDrop = target->OnDragDrop;
    second->Show();
    source->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { source->BeginDrag(false, 10); };
    backend->MouseDown(*form, 20, 20);
    Move(25, 25);  // within the threshold
    EXPECT_EQ(log, (std::vector<std::string>{"start"}));
    Move(320, 40);  // over the second form, while the first keeps the mouse
    backend->MouseUp(*form, 320, 40);
    EXPECT_EQ(log, (std::vector<std::string>{"start", "over enter 20,40", "over leave 20,40", "drop 20,40",
                                             "end far 20,40"}));
}

TEST_F(Drag, ADescriptionNamesTheMenuAndTheDragSettings) {
    class TDescribed : public TForm {
    public:
        using TForm::TForm;
        void Handler(TObject*, TDragDockObject*&) {}
        void EndHandler(TObject*, TObject*, int, int) {}
    };
    static TFormTable<TDescribed> table = [] {
        TFormTable<TDescribed> t("TDescribed", "described.frm");
        t.Handler("Handler", &TDescribed::Handler).Handler("EndHandler", &TDescribed::EndHandler);
        return t;
    }();
    auto* described = new TDescribed(&Application());
    TFormLoader(*described, table, "described.frm").LoadFromText(R"(object Described: TDescribed
  object PopupMenu1: TPopupMenu
    object N1: TMenuItem
      Caption = "One"
    end
  end
  object Picture: TImage
    PopupMenu = PopupMenu1
    DragMode = dmAutomatic
    DragKind = dkDock
    DragCursor = crNoDrop
    OnStartDock = Handler
    OnEndDock = EndHandler
  end
end
)");
    auto* picture = dynamic_cast<TImage*>(described->FindComponent("Picture"));
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(picture->PopupMenu(), nullptr);
    EXPECT_EQ(picture->PopupMenu()->Count(), 1);
    EXPECT_EQ(picture->DragMode, dmAutomatic);
    EXPECT_EQ(picture->DragKind, dkDock);
    EXPECT_EQ(picture->DragCursor, crNoDrop);
    EXPECT_TRUE(picture->OnStartDock && picture->OnEndDock);
}

}  // namespace
