// The GTK dialog service: which button gives which result, and "closed another way".
#include "platform/gtk/dialogs.h"

#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <functional>

#include "platform/rtl/codepage.h"
#include "tests/gui/gui_env.h"

namespace {

using gtkui::GtkDialogService;

// Answers the next dialog once it runs: `act` gets the dialog from inside its modal loop.
void AnswerNextDialog(std::function<void(GtkDialog*)> act) {
    GtkDialogService::SetDialogShownHook([act](GtkDialog* dialog) {
        GtkDialogService::SetDialogShownHook({});
        auto* pending = new std::pair<GtkDialog*, std::function<void(GtkDialog*)>>(dialog, act);
        g_idle_add(
            [](gpointer data) {
                std::unique_ptr<std::pair<GtkDialog*, std::function<void(GtkDialog*)>>> job(
                    static_cast<std::pair<GtkDialog*, std::function<void(GtkDialog*)>>*>(data));
                job->second(job->first);
                return G_SOURCE_REMOVE;
            },
            pending);
    });
}

void Press(int response) {
    AnswerNextDialog([response](GtkDialog* dialog) { gtk_dialog_response(dialog, response); });
}

void CloseByWindowManager() {
    AnswerNextDialog([](GtkDialog* dialog) { gtk_window_close(GTK_WINDOW(dialog)); });
}

class DialogsGuiTest : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_GUI(); }
    void TearDown() override { GtkDialogService::SetDialogShownHook({}); }
    GtkDialogService service_{[] { return std::string("Book"); }};
};

TEST_F(DialogsGuiTest, MessageBoxButtonsGiveTheirResults) {
    Press(rtl::IDYES);
    EXPECT_EQ(service_.MessageBox(rtl::Ru("Установить?"), "Q", rtl::MB_YESNO | rtl::MB_ICONQUESTION), rtl::IDYES);
    Press(rtl::IDOK);
    EXPECT_EQ(service_.MessageBox("done", "I", rtl::MB_OK), rtl::IDOK);
}

TEST_F(DialogsGuiTest, MessageBoxClosedAnotherWayIsNotOk) {
    CloseByWindowManager();
    EXPECT_EQ(service_.MessageBox("text", "caption", rtl::MB_OK), 0);
    CloseByWindowManager();
    EXPECT_EQ(service_.MessageBox("text", "caption", rtl::MB_YESNO), 0);
    CloseByWindowManager();
    EXPECT_EQ(service_.MessageBox("text", "caption", rtl::MB_OKCANCEL), rtl::IDCANCEL);
}

TEST_F(DialogsGuiTest, MessageDlgOffersTheRequestedButtonsWithTheirResults) {
    std::vector<std::string> labels;
    AnswerNextDialog([&labels](GtkDialog* dialog) {
        for (int result = rtl::mrOk; result <= rtl::mrYesToAll; ++result) {
            if (GtkWidget* button = gtk_dialog_get_widget_for_response(dialog, result)) {
                labels.push_back(gtk_button_get_label(GTK_BUTTON(button)));
            }
        }
        gtk_dialog_response(dialog, rtl::mrYesToAll);
    });
    EXPECT_EQ(service_.MessageDlg("Overwrite?", rtl::mtConfirmation, rtl::mbYesAllNoAllCancel), rtl::mrYesToAll);
    EXPECT_EQ(labels, (std::vector<std::string>{"Cancel", "_Yes", "_No", "N_o to All", "Yes to _All"}));

    CloseByWindowManager();
    EXPECT_EQ(service_.MessageDlg("x", rtl::mtCustom, rtl::mbOK), rtl::mrNone);
    CloseByWindowManager();
    EXPECT_EQ(service_.MessageDlg("x", rtl::mtWarning, rtl::mbOKCancel), rtl::mrCancel);
}

TEST_F(DialogsGuiTest, CustomMessageDialogTakesTheApplicationTitle) {
    std::string title;
    AnswerNextDialog([&title](GtkDialog* dialog) {
        title = gtk_window_get_title(GTK_WINDOW(dialog));
        gtk_dialog_response(dialog, rtl::mrOk);
    });
    service_.MessageDlg("x", rtl::mtCustom, rtl::mbOK);
    EXPECT_EQ(title, "Book");
}

TEST_F(DialogsGuiTest, InputQueryReturnsTheTypedTextOnlyWhenAccepted) {
    AnswerNextDialog([](GtkDialog* dialog) {
        GtkWidget* area = gtk_dialog_get_content_area(dialog);
        GList* children = gtk_container_get_children(GTK_CONTAINER(area));
        for (GList* item = children; item; item = item->next) {
            if (GTK_IS_ENTRY(item->data)) gtk_entry_set_text(GTK_ENTRY(item->data), "пароль");
        }
        g_list_free(children);
        gtk_dialog_response(dialog, GTK_RESPONSE_OK);
    });
    std::string value = "old";
    EXPECT_TRUE(service_.InputQuery("Password", "Enter password", value, true));
    EXPECT_EQ(value, rtl::Ru("пароль"));

    CloseByWindowManager();
    std::string kept = "old";
    EXPECT_FALSE(service_.InputQuery("Password", "Enter password", kept, true));
    EXPECT_EQ(kept, "old");
}

TEST_F(DialogsGuiTest, ButtonCaptionsAndResultsOfTheConfirmationDialog) {
    EXPECT_EQ(gtkui::MessageDlgButtonResult(rtl::mbNoToAll), rtl::mrNoToAll);
    EXPECT_EQ(gtkui::MessageDlgButtonResult(rtl::mbOK), rtl::mrOk);
    EXPECT_EQ(gtkui::MessageDlgCaption(rtl::mtError), "Error");
}

}  // namespace
