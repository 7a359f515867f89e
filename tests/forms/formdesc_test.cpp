// Form descriptions: parsing, component creation and nesting, field and handler binding in file
// order, pictures from the resources folder, and errors that name the line.
#include <memory>

#include "platform/forms/actions.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/forms/formdesc.h"
#include "platform/forms/image.h"
#include "platform/forms/panel.h"
#include "platform/forms/timer.h"
#include "platform/rtl/codepage.h"
#include "test_util.h"

using namespace forms;

namespace {

// A checkable picture: its OnClick-like handler runs when Checked is set (as the skinned check
// box does), so binding order is observable.
class TCheckPicture : public TImage {
public:
    using TImage::TImage;
    const char* ClassName() const override { return "TCheckPicture"; }
    bool Checked = false;
    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override {
        if (name != "Checked") return TImage::SetProperty(name, value, loader);
        Checked = value.AsBoolean();
        if (OnClick) OnClick(this);
        return true;
    }
};

class TSampleForm : public TForm {
public:
    explicit TSampleForm(TComponent* owner) : TForm(owner) {}
    TImage* header = nullptr;
    TPanel* box = nullptr;
    TEdit* searcher = nullptr;
    TTimer* Timer1 = nullptr;
    TCheckPicture* early = nullptr;
    TCheckPicture* late = nullptr;
    std::vector<std::string> calls;
    void FormCreate(TObject*) { calls.push_back("create"); }
    void FormShow(TObject*) { calls.push_back("show"); }
    void CheckClick(TObject* sender) { calls.push_back("check " + static_cast<TComponent*>(sender)->Name()); }
    void headerMouseDown(TObject*, TMouseButton, TShiftState, int x, int y) {
        calls.push_back("down " + std::to_string(x) + "," + std::to_string(y));
    }
    void searcherKeyPress(TObject*, char& key) {
        if (key == 13) calls.push_back("enter");
    }
    void AUpdateExecute(TObject*) { calls.push_back("update"); }
    void Timer1Timer(TObject*) { calls.push_back("tick"); }

    static const TFormClass& Class() {
        static TFormTable<TSampleForm> table = [] {
            TFormTable<TSampleForm> t("TSampleForm", "sample.frm");
            t.Field("header", &TSampleForm::header)
                .Field("box", &TSampleForm::box)
                .Field("searcher", &TSampleForm::searcher)
                .Field("Timer1", &TSampleForm::Timer1)
                .Field("early", &TSampleForm::early)
                .Field("late", &TSampleForm::late)
                .Handler("FormCreate", &TSampleForm::FormCreate)
                .Handler("FormShow", &TSampleForm::FormShow)
                .Handler("CheckClick", &TSampleForm::CheckClick)
                .Handler("headerMouseDown", &TSampleForm::headerMouseDown)
                .Handler("searcherKeyPress", &TSampleForm::searcherKeyPress)
                .Handler("AUpdateExecute", &TSampleForm::AUpdateExecute)
                .Handler("Timer1Timer", &TSampleForm::Timer1Timer);
            return t;
        }();
        return table;
    }
};

const char* kSample = R"(# sample window
object Sample: TSampleForm
  ClientWidth = 400
  ClientHeight = 300
  Color = clWindow
  Caption = "Ордалион"
  Position = poScreenCenter
  BorderStyle = bsNone
  OnCreate = FormCreate
  OnShow = FormShow
  object header: TImage
    Left = 0
    Width = 400
    Height = 20
    Anchors = [akLeft, akTop, akRight]
    Stretch = True
    Picture = "pics/header.bmp"
    Hint = "Закрыть"
    ShowHint = True
    OnMouseDown = headerMouseDown
  end
  object box: TPanel
    Left = 300
    Top = 200
    Width = 100
    Height = 100
    BevelOuter = bvNone
    Anchors = [akRight, akBottom]
    object searcher: TEdit
      Left = 5
      Top = 5
      MaxLength = 100
      BorderStyle = bsNone
      Font.Color = $0000FF
      OnKeyPress = searcherKeyPress
    end
  end
  object early: TCheckPicture
    Top = 250
    Width = 10
    Height = 10
    Checked = True
    OnClick = CheckClick
  end
  object late: TCheckPicture
    Top = 270
    Width = 10
    Height = 10
    OnClick = CheckClick
    Checked = True
  end
  object Timer1: TTimer
    Interval = 500
    Enabled = False
    OnTimer = Timer1Timer
  end
  object ActionList1: TActionList
    object AUpdate: TAction
      ShortCut = 113
      SecondaryShortCuts = ["ctrl+u"]
      OnExecute = AUpdateExecute
    end
  end
end
)";

class Descriptions : public formstest::HeadlessTest {
protected:
    formstest::TempFolder resources;
    void SetUp() override {
        SetRegisterTestClass();
        SetResourcesFolder(resources.Path());
        resources.Write("pics/header.bmp", formstest::SolidBitmap(4, 2, formstest::Rgb(255, 0, 0)).SaveToBytes());
    }
    void TearDown() override { SetResourcesFolder(""); }
    static void SetRegisterTestClass() {
        RegisterComponentClass("TCheckPicture", [](TComponent* owner) { return new TCheckPicture(owner); });
    }
    TSampleForm* Load(const std::string& text) {
        auto* form = new TSampleForm(&Application());
        TFormLoader loader(*form, TSampleForm::Class(), "sample.frm");
        loader.LoadFromText(text);
        return form;
    }
    std::string LoadError(const std::string& text) {
        std::unique_ptr<TSampleForm> form(new TSampleForm(&Application()));
        try {
            TFormLoader loader(*form, TSampleForm::Class(), "sample.frm");
            loader.LoadFromText(text);
        } catch (const EFormDescriptionError& e) {
            return e.Message();
        }
        return "";
    }
};

TEST_F(Descriptions, CreatesComponentsBindsFieldsAndHandlers) {
    resources.Write("sample.frm", kSample);
    auto* form = new TSampleForm(&Application());
    form->InitForm(TSampleForm::Class());

    EXPECT_EQ(form->Name(), "Sample");
    EXPECT_EQ(form->Caption(), rtl::Ru("Ордалион"));
    EXPECT_EQ(form->ClientWidth(), 400);
    EXPECT_EQ(form->Position(), poScreenCenter);
    ASSERT_NE(form->header, nullptr);
    ASSERT_NE(form->box, nullptr);
    ASSERT_NE(form->searcher, nullptr);
    ASSERT_NE(form->Timer1, nullptr);
    EXPECT_EQ(form->header->Parent(), form);
    EXPECT_EQ(form->searcher->Parent(), form->box);
    EXPECT_EQ(form->searcher->Owner(), form);
    EXPECT_EQ(form->header->Picture().Width(), 4);
    EXPECT_EQ(form->header->Hint, rtl::Ru("Закрыть"));
    EXPECT_EQ(form->searcher->MaxLength(), 100);
    EXPECT_TRUE(form->searcher->BorderNone());
    EXPECT_EQ(form->searcher->Font.Color, clRed);
    EXPECT_FALSE(form->Timer1->Enabled());
    EXPECT_EQ(form->Timer1->Interval(), 500u);
    EXPECT_TRUE(form->searcher->Peer() != nullptr);

    // Checked before OnClick runs nothing; after it, the handler runs. Then OnCreate.
    std::vector<std::string> expected{"check late", "create"};
    EXPECT_EQ(form->calls, expected);
    EXPECT_TRUE(form->early->Checked);

    form->Show();
    EXPECT_EQ(form->calls.back(), "show") << ::testing::PrintToString(form->calls);
    backend->MouseDown(*form, 10, 5);
    EXPECT_EQ(form->calls.back(), "down 10,5");
    EXPECT_TRUE(backend->KeyDown(*form, 'U', ssCtrl));
    EXPECT_EQ(form->calls.back(), "update");
    form->searcher->SetFocus();
    backend->PressEnter(*form);
    EXPECT_EQ(form->calls.back(), "enter");
    form->Timer1->SetEnabled(true);
    backend->Advance(1000);
    EXPECT_EQ(std::count(form->calls.begin(), form->calls.end(), "tick"), 2);

    // Anchors were taken from the loaded layout.
    form->SetBounds(form->Left(), form->Top(), 500, 350);
    EXPECT_EQ(form->header->Width(), 500);
    EXPECT_EQ(form->box->BoundsRect(), Bounds(400, 250, 100, 100));
}

TEST_F(Descriptions, ErrorsNameTheLineAndTheProblem) {
    auto error = [&](const std::string& body) { return LoadError("object Sample: TSampleForm\n" + body + "end\n"); };
    EXPECT_EQ(error("  Colour = clRed\n"), "sample.frm(2): TSampleForm has no property Colour");
    EXPECT_EQ(error("  OnShow = Missing\n"), "sample.frm(2): TSampleForm has no handler Missing");
    EXPECT_EQ(error("  object x: TNoSuchClass\n  end\n"), "sample.frm(2): Unknown class TNoSuchClass");
    EXPECT_EQ(error("  object header: TPanel\n  end\n"), "sample.frm(2): Field header is not of class TPanel");
    EXPECT_EQ(error("  Left = \"ten\"\n"), "sample.frm(2): Integer value expected");
    EXPECT_EQ(error("  Caption = \"open\n"), "sample.frm(2): Unreadable value");
    EXPECT_EQ(error("  Anchors = [akLeft, akSideways]\n"), "sample.frm(2): Unknown anchor akSideways");
    EXPECT_EQ(error("  OnClose = FormShow\n"), "sample.frm(2): Handler parameters do not fit OnClose");
    EXPECT_EQ(error("  object a: TImage\n  end\n  object a: TImage\n  end\n"),
              "sample.frm(4): Duplicate component name a");
    EXPECT_EQ(LoadError("object Other: TForm1\nend\n"), "sample.frm(1): The description is of TForm1, not TSampleForm");
    EXPECT_EQ(LoadError("object Sample: TSampleForm\n"), "sample.frm(1): \"end\" missing");
    EXPECT_EQ(LoadError(""), "sample.frm(0): No object in the description");
    EXPECT_EQ(error("  object p: TImage\n    Picture = \"pics/none.bmp\"\n  end\n").substr(0, 15), "sample.frm(3): ");
}

TEST_F(Descriptions, MissingDescriptionFileIsReported) {
    auto* form = new TSampleForm(&Application());
    EXPECT_THROW(form->InitForm(TSampleForm::Class()), EFormDescriptionError);
}

TEST_F(Descriptions, ValuesOfEveryKind) {
    TSampleForm* form = Load(
        "\xEF\xBB\xBFobject Sample: TSampleForm\n"
        "  Tag = -42\n"
        "  Color = 0x00FF00\n"
        "  Cursor = crHandPoint\n"
        "  Caption = \"quote \\\" and \\\\ back\"\n"
        "  Constraints.MinWidth = 500\n"
        "  Font.Style = [fsBold, fsItalic]\n"
        "  Visible = False\n"
        "end\n");
    EXPECT_EQ(form->Tag, -42);
    EXPECT_EQ(form->Color(), clLime);
    EXPECT_EQ(form->Cursor(), crHandPoint);
    EXPECT_EQ(form->Caption(), "quote \" and \\ back");
    EXPECT_EQ(form->Width(), 500);
    EXPECT_EQ(form->Font.Style, fsBold | fsItalic);
}

TEST(Resources, FolderAndPaths) {
    SetResourcesFolder("\\opt\\book\\res");
    EXPECT_EQ(ResourcesFolder(), "\\opt\\book\\res\\");
    EXPECT_EQ(ResourcePath("demo/a.bmp"), "\\opt\\book\\res\\demo\\a.bmp");
    EXPECT_EQ(ResourcePath("\\abs\\b.bmp"), "\\abs\\b.bmp");
    SetResourcesFolder("");
    EXPECT_FALSE(ResourcesFolder().empty());
}

}  // namespace

namespace {

TEST_F(Descriptions, NumbersOutOfRangeAreRefused) {
    EXPECT_EQ(LoadError("object Sample: TSampleForm\n  Left = 99999999999\nend\n"), "sample.frm(2): Value out of range");
    EXPECT_EQ(LoadError("object Sample: TSampleForm\n  Font.Size = 0\nend\n"), "sample.frm(2): Value out of range");
    EXPECT_EQ(LoadError("object Sample: TSampleForm\n  Left = 999999999999999999999\nend\n"),
              "sample.frm(2): Unreadable value");
}

}  // namespace
