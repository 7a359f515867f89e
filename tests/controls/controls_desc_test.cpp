// Both skinned controls created from a form description, as the update dialog lays them out:
// properties in description order, the texture picture, bound click handlers, range order.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "controls/bztCheckBoxT.h"
#include "controls/cm_OrvGauges.h"
#include "controls/registration.h"
#include "gauge_util.h"
#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/forms/formdesc.h"
#include "platform/headless/headless.h"
#include "platform/rtl/paths.h"

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

// 8 x 9 picture as a 24-bit BMP: bottom-up rows padded to four bytes.
std::string TextureBmp() {
    auto le = [](uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += char((v >> (8 * i)) & 255);
        return s;
    };
    int w = 8, h = 9, row = 24;
    std::string bmp = "BM" + le(54 + row * h, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(w, 4) + le(h, 4) + le(1, 2) +
                      le(24, 2) + le(0, 4) + le(row * h, 4) + le(2835, 4) + le(2835, 4) + le(0, 4) + le(0, 4);
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) bmp += x == 0 ? le(0xFF00FF, 3) : le(0x0000AA, 3);  // blue, green, red
    return bmp;
}

const char* kDialog = R"(object Dialog: TDialog
  ClientWidth = 400
  ClientHeight = 300
  object ProgressBar1: TOrvGauge
    Left = 17
    Top = 132
    Width = 372
    Height = 9
    Cursor = 1
    BorderStyle = bsNone
    BorderColor = clWhite
    ForeColor = clNavy
    Progress = 0
    TextureOnFore = "bar.bmp"
    TransparentFore = True
    TransparentBack = True
    ForeAsBlocks = True
    ForeBlockSize = 8
    Pie3DHeight = 0
    RuningStep = 0
    Text = "%d%%"
    Font.Color = clRed
    Font.ColorOnFilled = clLime
  end
  object CheckBox1: TbztCheckBoxT
    Left = 15
    Top = 219
    Width = 17
    Height = 17
    Checked = True
    TabOrder = 0
    OnClick = CheckBox1Click
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
    std::filesystem::path folder;
    void SetUp() override {
        RegisterSkinnedControls();
        folder = std::filesystem::temp_directory_path() / ("controls_desc_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "bar.bmp", std::ios::binary) << TextureBmp();
        forms::SetResourcesFolder(rtl::FromNativePath(folder.string() + "/"));
    }
    void TearDown() override {
        forms::SetResourcesFolder("");
        std::filesystem::remove_all(folder);
    }
    TDialog* Load(const std::string& text) {
        auto* form = new TDialog(&forms::Application());
        forms::TFormLoader loader(*form, TDialog::Class(), "dialog.frm");
        loader.LoadFromText(text);
        return form;
    }
};

}  // namespace

TEST_F(Description, TheUpdateDialogsControlsLoad) {
    TDialog* form = Load(kDialog);
    ASSERT_NE(form->ProgressBar1, nullptr);
    TOrvGauge& g = *form->ProgressBar1;
    EXPECT_EQ(g.Width(), 372);
    EXPECT_EQ(g.BorderStyle(), forms::bsNone);
    EXPECT_EQ(g.BorderColor(), forms::clWhite);
    EXPECT_EQ(g.TextureOnFore().Width(), 8);
    EXPECT_EQ(g.TextureOnFore().Height(), 9);
    EXPECT_TRUE(g.TransparentFore() && g.TransparentBack() && g.ForeAsBlocks);
    EXPECT_EQ(g.ForeBlockSize, 8);
    EXPECT_EQ(g.Pie3DHeight, 0);
    EXPECT_EQ(g.RuningStep, 0);
    EXPECT_EQ(g.GaugeFont().Color, forms::clRed);
    EXPECT_EQ(g.GaugeFont().ColorOnFilled(), forms::clLime);
    EXPECT_EQ(g.Font.Color, forms::TFont().Color);  // the inherited font is left alone
    EXPECT_EQ(g.Cursor(), 1);
    // The work tile was built while loading: the texture's key column shows the back colour.
    ASSERT_EQ(g.ForeTile().Width(), 8);
    EXPECT_EQ(g.ForeTile().Pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(g.ForeTile().Pixel(1, 0), 0x0000AAu);

    // The updater's use: no caption, progress in whole blocks.
    g.SetText("");
    g.SetProgress(50);
    const forms::TBitmap& raster = form->Raster();
    EXPECT_EQ(raster.Pixel(17 + 183, 132), 0x0000AAu);
    EXPECT_EQ(raster.Pixel(17 + 184, 132), 0xFFFFFFu);
}

TEST_F(Description, CheckedAppliesInDescriptionOrder) {
    TDialog* form = Load(kDialog);
    EXPECT_TRUE(form->CheckBox1->Checked());
    EXPECT_TRUE(form->checkbox2->Checked());
    EXPECT_FALSE(form->checkbox2->Enabled());
    EXPECT_EQ(form->calls, (std::vector<std::string>{"2 on"}));  // CheckBox1 was checked before binding
    form->CheckBox1->SetChecked(false);
    EXPECT_EQ(form->calls.back(), "1 off");
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
