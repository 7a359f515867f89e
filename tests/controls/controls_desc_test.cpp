// Both skinned controls created from a form description: properties in description order, bound
// click handlers, actions named by the description, range order, any integer where the gauge takes
// one. The update dialog's own description is loaded by the updater's tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/bztCheckBoxT.h"
#include "controls/cm_OrvGauges.h"
#include "controls/registration.h"
#include "gauge_util.h"
#include "platform/forms/actions.h"
#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/forms/formdesc.h"
#include "platform/headless/headless.h"

using namespace controls;
using forms::TObject;

namespace {

class TDialog : public forms::TForm {
public:
    explicit TDialog(forms::TComponent* owner) : forms::TForm(owner) {}
    TOrvGauge* ProgressBar1 = nullptr;
    TbztCheckBoxT* CheckBox1 = nullptr;
    TbztCheckBoxT* checkbox2 = nullptr;
    std::vector<std::string> calls;
    void CheckBox1Click(TObject*) { calls.push_back(CheckBox1->Checked() ? "1 on" : "1 off"); }
    void CheckBox2Click(TObject*) { calls.push_back(checkbox2->Checked() ? "2 on" : "2 off"); }

    static const forms::TFormClass& Class() {
        static forms::TFormTable<TDialog> table = [] {
            forms::TFormTable<TDialog> t("TDialog", "dialog.frm");
            t.Field("ProgressBar1", &TDialog::ProgressBar1)
                .Field("CheckBox1", &TDialog::CheckBox1)
                .Field("checkbox2", &TDialog::checkbox2)
                .Handler("CheckBox1Click", &TDialog::CheckBox1Click)
                .Handler("CheckBox2Click", &TDialog::CheckBox2Click);
            return t;
        }();
        return table;
    }
};

const char* kDialog = R"(object Dialog: TDialog
  ClientWidth = 400
  ClientHeight = 300
  object Action1: TAction
    Checked = False
  end
  object CheckBox1: TbztCheckBoxT
    Left = 15
    Top = 219
    Width = 17
    Height = 17
    Checked = True
    TabOrder = 0
    OnClick = CheckBox1Click
    Action = Action1
  end
  object checkbox2: TbztCheckBoxT
    Left = 218
    Top = 219
    Width = 17
    Height = 17
    Caption = ""
    Enabled = False
    TabOrder = 1
    OnClick = CheckBox2Click
    Checked = True
  end
end
)";

class Description : public ::testing::Test {
protected:
    headless::TScopedHeadless backend;
    void SetUp() override {
        RegisterSkinnedControls();
    }
    TDialog* Load(const std::string& text) {
        auto* form = new TDialog(&forms::Application());
        forms::TFormLoader loader(*form, TDialog::Class(), "dialog.frm");
        loader.LoadFromText(text);
        return form;
    }
};

}  // namespace

TEST_F(Description, CheckedAppliesInDescriptionOrder) {
    TDialog* form = Load(kDialog);
    EXPECT_TRUE(form->CheckBox1->Checked());
    EXPECT_TRUE(form->checkbox2->Checked());
    EXPECT_FALSE(form->checkbox2->Enabled());
    EXPECT_EQ(form->calls, (std::vector<std::string>{"2 on"}));  // CheckBox1 was checked before binding
    form->CheckBox1->SetChecked(false);
    EXPECT_EQ(form->calls.back(), "1 off");
    // The unchecked action named after Checked left the checked box as it was (from code it would
    // be copied); its changes reach the box now.
    auto* action = dynamic_cast<forms::TAction*>(form->FindComponent("Action1"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(form->CheckBox1->Action(), action);
    action->SetChecked(true);
    EXPECT_TRUE(form->CheckBox1->Checked());
    EXPECT_EQ(form->calls.back(), "1 off");  // and no click
}

// Pie3DHeight and Edge take any integer; painting stays quick, and an Edge of 0 or less means no
// end caps at all.
TEST_F(Description, ThePiesHeightAndTheEdgeTakeAnyInteger) {
    struct Case {
        const char* kind;
        const char* height;
        const char* edge;
    };
    const Case cases[] = {{"lgkPie3D", "2147483647", "-2147483648"},
                          {"lgkPie3D", "-2147483648", "2147483647"},
                          {"lgkHorizontalBar", "0", "-7"}};
    for (const Case& c : cases) {
        TDialog* form = Load(std::string("object Dialog: TDialog\n  object ProgressBar1: TOrvGauge\n    Kind = ") +
                             c.kind + "\n    Pie3DHeight = " + c.height + "\n    Edge = " + c.edge +
                             "\n    Progress = 40\n  end\nend\n");
        TOrvGauge& g = *form->ProgressBar1;
        EXPECT_EQ(std::to_string(g.Pie3DHeight), c.height);
        EXPECT_EQ(std::to_string(g.Edge), c.edge);
        EXPECT_EQ(gaugetest::Render(g).Width(), 150);
        form->Free();
    }
    TOrvGauge capped(nullptr), plain(nullptr);
    forms::TBitmap texture = gaugetest::Texture(6, 20, [](int x, int) { return x < 2 ? 0xFF0000u : 0x00FF00u; });
    for (TOrvGauge* g : {&capped, &plain}) {
        g->SetShowText(false);
        g->SetTextureOnFore(texture);
        g->SetProgress(50);
    }
    capped.Edge = -3;
    forms::TBitmap a = gaugetest::Render(capped), b = gaugetest::Render(plain);
    for (int x = 0; x < a.Width(); ++x) ASSERT_EQ(a.Pixel(x, 5), b.Pixel(x, 5)) << x;
}

TEST_F(Description, RangeBoundsMayArriveInAnyOrder) {
    TDialog* form = Load(R"(object Dialog: TDialog
  object ProgressBar1: TOrvGauge
    MinValue = 200
    MaxValue = 300
    Progress = 250
    Kind = lgkPie3D
    HorTextAlignment = taLeftJustify
    VerTextAlignment = taBottom
    Font.Color = clRed
    Font.ColorOnFilled = clLime
  end
end
)");
    TOrvGauge& g = *form->ProgressBar1;
    EXPECT_EQ(g.MinValue(), 200);
    EXPECT_EQ(g.MaxValue(), 300);
    EXPECT_EQ(g.Progress(), 250);
    EXPECT_EQ(g.Kind(), lgkPie3D);
    EXPECT_EQ(g.HorTextAlignment(), taLeftJustify);
    EXPECT_EQ(g.VerTextAlignment(), taBottom);
    EXPECT_EQ(g.GaugeFont().Color, forms::clRed);
    EXPECT_EQ(g.GaugeFont().ColorOnFilled(), forms::clLime);
    EXPECT_EQ(g.Font.Color, forms::TFont().Color);  // the inherited font is left alone
    EXPECT_THROW(g.SetMaxValue(100), EInvalidOperation);  // checked again once loaded
}

TEST_F(Description, UnknownValuesAreReportedWithTheLine) {
    try {
        Load("object Dialog: TDialog\n  object ProgressBar1: TOrvGauge\n    Kind = lgkRound\n  end\nend\n");
        FAIL() << "loaded";
    } catch (const forms::EFormDescriptionError& e) {
        EXPECT_NE(e.Message().find("(3)"), std::string::npos) << e.Message();
    }
    try {
        Load("object Other: TDialog\n  object CheckBox1: TbztCheckBoxT\n    State = cbMaybe\n  end\nend\n");
        FAIL() << "loaded";
    } catch (const forms::EFormDescriptionError& e) {
        EXPECT_NE(e.Message().find("(3)"), std::string::npos) << e.Message();
    }
}
