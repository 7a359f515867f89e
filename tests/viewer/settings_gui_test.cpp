// The drop-down list and check box on the GTK backend: native widgets are made, show what the
// controls hold, and report the user's choice (and only that) back to the controls.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include "platform/forms/application.h"
#include "platform/forms/checkbox.h"
#include "platform/forms/combobox.h"
#include "platform/forms/form.h"
#include "tests/gui/gui_env.h"

namespace {

class SettingsControlsGui : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_GUI();
        form_ = new forms::TForm(&forms::Application());
        form_->SetBounds(100, 100, 300, 120);
    }
    void TearDown() override { forms::ResetApplication(); }
    forms::TForm* form_ = nullptr;
};

TEST_F(SettingsControlsGui, ComboBoxPeerShowsTheItemsAndReportsTheUsersChoice) {
    auto* box = new forms::TComboBox(form_);
    box->SetParent(form_);
    box->SetBounds(10, 10, 186, 19);
    box->SetItems({"one", "two"});
    box->SetItemIndex(1);
    int changes = 0;
    box->OnChange = [&](forms::TObject*) { ++changes; };
    form_->Show();
    guitest::PumpFor(100);
    ASSERT_NE(box->Peer(), nullptr);
    auto* widget = GTK_COMBO_BOX(box->Peer()->NativeHandle());
    EXPECT_EQ(gtk_combo_box_get_active(widget), 1);
    box->AddItem("three");
    box->SetItemIndex(2);
    EXPECT_EQ(gtk_combo_box_get_active(widget), 2);
    EXPECT_EQ(changes, 0);
    gtk_combo_box_set_active(widget, 0);  // as the user's pick does
    EXPECT_EQ(box->Text(), "one");
    EXPECT_EQ(changes, 1);
}

TEST_F(SettingsControlsGui, CheckBoxPeerTogglesThroughTheControl) {
    auto* box = new forms::TCheckBox(form_);
    box->SetParent(form_);
    box->SetBounds(10, 40, 150, 17);
    box->SetCaption("music");
    int clicks = 0;
    box->OnClick = [&](forms::TObject*) { ++clicks; };
    form_->Show();
    guitest::PumpFor(100);
    ASSERT_NE(box->Peer(), nullptr);
    auto* widget = GTK_TOGGLE_BUTTON(box->Peer()->NativeHandle());
    gtk_button_clicked(GTK_BUTTON(widget));
    EXPECT_TRUE(box->Checked());
    EXPECT_TRUE(gtk_toggle_button_get_active(widget));
    box->SetChecked(false);
    EXPECT_FALSE(gtk_toggle_button_get_active(widget));
    EXPECT_EQ(clicks, 2);
}

TEST_F(SettingsControlsGui, ControlsOutsideTheWindowGetTheirWidgetsWithoutHarm) {
    auto* box = new forms::TComboBox(form_);
    box->SetParent(form_);
    box->SetBounds(-192, 116, 186, 19);
    auto* check = new forms::TCheckBox(form_);
    check->SetParent(form_);
    check->SetBounds(-193, 213, 13, 13);
    form_->Show();
    guitest::PumpFor(100);
    EXPECT_NE(box->Peer(), nullptr);
    EXPECT_NE(check->Peer(), nullptr);
}

}  // namespace
