// The drop-down list and the check box of the class library as the settings dialog uses them:
// selection, change reports, keys, raster drawing, and their properties in the dialog's description.
#include "tests/viewer/main_fixture.h"

#include <vector>

#include "platform/forms/application.h"
#include "platform/forms/checkbox.h"
#include "platform/forms/combobox.h"
#include "platform/rtl/codepage.h"
#include "viewer/forms.h"
#include "viewer/settings.h"

namespace viewertest {
namespace {

class ControlsTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        form_ = new forms::TForm(&forms::Application());
        form_->SetBounds(0, 0, 200, 100);
    }
    forms::TForm* form_ = nullptr;
};

TEST_F(ControlsTest, ComboBoxSelectsOnlyExistingItemsAndReportsOnlyTheUsersChoice) {
    auto* box = new forms::TComboBox(form_);
    box->SetParent(form_);
    int changes = 0;
    box->OnChange = [&](forms::TObject*) { ++changes; };
    EXPECT_EQ(box->Text(), "");
    box->SetItems({"a", "b", "c"});
    EXPECT_EQ(box->ItemIndex(), -1);
    box->SetItemIndex(3);
    EXPECT_EQ(box->ItemIndex(), -1);
    box->SetItemIndex(1);
    EXPECT_EQ(box->Text(), "b");
    EXPECT_EQ(changes, 0);
    box->PeerSelected(2);
    box->PeerSelected(2);
    EXPECT_EQ(box->Text(), "c");
    EXPECT_EQ(changes, 1);
    uint16_t key = forms::VK_DOWN;
    box->KeyDown(key, 0);
    EXPECT_EQ(box->ItemIndex(), 2);
    key = forms::VK_UP;
    box->KeyDown(key, 0);
    EXPECT_EQ(box->Text(), "b");
    EXPECT_EQ(changes, 2);
    box->Clear();
    EXPECT_EQ(box->ItemCount(), 0);
    EXPECT_EQ(box->ItemIndex(), -1);
    box->KeyDown(key, 0);  // nothing to move to
    EXPECT_EQ(box->ItemIndex(), -1);
}

TEST_F(ControlsTest, CheckBoxRunsOnClickOnEveryChangeFromCodeOrUser) {
    auto* box = new forms::TCheckBox(form_);
    box->SetParent(form_);
    box->SetBounds(10, 10, 100, 17);
    std::vector<bool> seen;
    box->OnClick = [&](forms::TObject*) { seen.push_back(box->Checked()); };
    box->SetChecked(true);
    box->SetChecked(true);
    box->Click();
    char space = ' ';
    box->KeyPress(space);
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(box->PeerClicked(), forms::cpsUnchecked);
    EXPECT_FALSE(box->Checked());
}

TEST_F(ControlsTest, CheckBoxDrawsItsTickWhenChecked) {
    auto* box = new forms::TCheckBox(form_);
    box->SetParent(form_);
    box->SetBounds(10, 10, 100, 17);
    form_->Show();
    // A point of the tick's first stroke.
    const int x = 10 + 4, y = 10 + 2 + 6;
    EXPECT_EQ(form_->Raster().Pixel(x, y) & 0xFFFFFF, 0xFFFFFFu);
    box->SetChecked(true);
    EXPECT_EQ(form_->Raster().Pixel(x, y) & 0xFFFFFF, 0x000000u);
}

TEST_F(ControlsTest, SettingsDescriptionGivesTheListsTheirItemsAndTabOrder) {
    CreateWindows();
    viewer::Tsett& dialog = *viewer::sett;
    EXPECT_EQ(dialog.fontsize->Items(),
              (std::vector<std::string>{rtl::Ru("средний размер"), rtl::Ru("крупный размер")}));
    EXPECT_EQ(dialog.fontsize->ItemIndex(), 0);
    EXPECT_EQ(dialog.Back_sound->Caption(), rtl::Ru("Фоновый звук"));
    EXPECT_EQ(dialog.SavePage->Caption(), rtl::Ru("Сохранять страницу при выходе"));
    const std::vector<int> order = {dialog.fontsize->TabOrder, dialog.textstyle->TabOrder,
                                    dialog.Back_sound->TabOrder, dialog.KorStyle->TabOrder,
                                    dialog.SavePage->TabOrder, dialog.Sound_Box->TabOrder};
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    for (forms::TComboBox* list : {dialog.fontsize, dialog.textstyle, dialog.KorStyle, dialog.Sound_Box}) {
        EXPECT_EQ(list->Style, forms::csOwnerDrawFixed);
        EXPECT_EQ(list->ItemHeight, 13);
    }
    EXPECT_FALSE(dialog.Visible());
}

}  // namespace
}  // namespace viewertest
