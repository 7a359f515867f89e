// The real viewer on the sample book, under X with the GTK backend and WebKit: the first page, an
// article link, the next part page by Ctrl+Right, a favourite added, listed on favs.html and
// deleted, the skin's chrome in the window's raster; and a second viewer that ends at once.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/forms/application.h"
#include "platform/forms/bmp.h"
#include "platform/forms/formdesc.h"
#include "platform/gtk/dialogs.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/locks.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/registry.h"
#include "platform/media/mediaplayer.h"
#include "platform/media/system_media.h"
#include "platform/web/webkit_browser.h"
#include "platform/web/webkit_peer.h"
#include "tests/gui/gui_env.h"
#include "tests/gui/screen.h"
#include "tests/rtl/readonly_place.h"
#include "tests/rtl/system_fixture.h"
#include "tests/viewer/gui/screen_watch.h"
#include "viewer/forms.h"
#include "viewer/main.h"
#include "viewer/prepare.h"
#include "viewer/scratch.h"
#include "viewer/search_mod.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace viewer;

const std::string kBook = TOME_BOOK_DIR;

#define REQUIRE_BOOK()                                                                                       \
    do {                                                                                                     \
        if (!fs::exists(kBook + "/tomeview"))                                                                \
            GTEST_SKIP() << "the sample book is not built (" << kBook                                       \
                         << "/tomeview does not exist); build the book, then run this test again";         \
    } while (0)

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A private copy of the book, so the run's files (started.dat, composed pages, intcfg.dat) stay out
// of the build tree. Pages composed by an earlier run of the viewer in the book itself are left out
// of the copy, so what a test finds composed was composed by its own run.
std::string CopyBook(const std::string& scratch) {
    std::string copy = scratch + "book/";
    fs::copy(kBook, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    for (const auto& entry : fs::directory_iterator(copy + "data"))
        if (entry.path().extension() == ".tmp") fs::remove(entry.path());
    setenv("TOME_REGISTRY", (scratch + "registry").c_str(), 1);
    setenv("TOME_RESOURCES", fs::exists(copy + "resources") ? (copy + "resources").c_str() : TOME_TEST_RESOURCES, 1);
    return copy;
}

class ViewerGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_BOOK();
        REQUIRE_GUI();
        scratch_ = guitest::MakeScratchFolder("viewer");
        book_ = CopyBook(scratch_);
        savedCwd_ = fs::current_path().string();
        rtl::SetProgramFolderForTests(rtl::FromNativePath(book_));
        forms::SetResourcesFolder("");
        rtl::SetDialogService(&dialogs_);
        ResetMainState();
        ResetPrepareState();
        SplashPauseMs = 0;
    }
    void TearDown() override {
        if (scratch_.empty()) return;
        forms::ResetApplication();
        Form1 = nullptr, Form2 = nullptr, Form3 = nullptr, Form4 = nullptr, Form5 = nullptr, sett = nullptr;
        ResetMainState();
        ResetPrepareState();
        rtl::SetDialogService(nullptr);
        rtl::SetProgramFolderForTests("");
        fs::current_path(savedCwd_);
        guitest::RemoveScratchFolder(scratch_);
    }

    void StartViewer(const std::function<void()>& beforeShow = {}) {
        forms::TApplication& application = forms::Application();
        application.CreateForm(Form1);
        application.CreateForm(Form2);
        application.CreateForm(Form3);
        application.CreateForm(Form5);
        application.CreateForm(sett);
        application.CreateForm(Form4);
        forms::TDocumentCompleteEvent shown = Form1->datacenter->OnDocumentComplete;
        Form1->datacenter->OnDocumentComplete = [this, shown](forms::TObject* sender, const std::string& url) {
            ++completed_;
            shown(sender, url);
        };
        if (beforeShow) beforeShow();
        Form1->Show();
    }
    // Waits for the document complete that follows an action.
    bool WaitForPage(int before) {
        return guitest::WaitUntil([&] { return completed_ > before; }) &&
               guitest::WaitUntil([&] { return !Form2->Visible(); });
    }
    // Does the action and waits for the page it loads.
    bool Load(const std::function<void()>& action) {
        const int before = completed_;
        action();
        return WaitForPage(before);
    }
    std::string Evaluate(const std::string& script) {
        web::WebKitBrowserPeer* engine = web::WebKitEngineOf(*Form1->datacenter);
        if (!engine) return "<no engine>";
        bool done = false;
        std::string value;
        engine->EvaluateScript(script, [&](bool ok, std::string result) {
            value = ok ? result : "<script failed>";
            done = true;
        });
        guitest::WaitUntil([&] { return done; });
        return value;
    }
    std::string Composed() { return ReadText(book_ + "data/tomeview.tmp"); }
    bool Key(uint16_t key, forms::TShiftState shift = 0) { return Form1->DispatchKeyDown(key, shift); }

    // Where the picture shows (no other control above it), the window's raster holds the
    // picture's own pixel (for a stretched picture, one of the source pixels around the mapped point).
    void ExpectPictureShown(forms::TImage* image, const char* name) {
        ASSERT_NE(image, nullptr) << name;
        const forms::TBitmap* picture = image->Picture().Graphic();
        if (!image->Visible() || !picture || picture->Empty()) return;
        forms::TRect r = image->FormRect();
        for (int oy = 1; oy < r.Height(); oy += 3)
            for (int ox = 1; ox < r.Width(); ox += 3) {
                if (Form1->ControlAtPos(forms::TPoint{r.Left + ox, r.Top + oy}) != image) continue;
                uint32_t shown = Form1->Raster().Pixel(r.Left + ox, r.Top + oy) & 0xFFFFFF;
                int sx = ox, sy = oy;
                if (image->Stretch()) sx = ox * picture->Width() / r.Width(), sy = oy * picture->Height() / r.Height();
                if (sx >= picture->Width() || sy >= picture->Height()) continue;  // natural size, clipped
                bool found = false;
                for (int dy = -1; dy <= 1 && !found; ++dy)
                    for (int dx = -1; dx <= 1 && !found; ++dx)
                        found = (picture->Pixel(sx + dx, sy + dy) & 0xFFFFFF) == shown &&
                                (image->Stretch() || (dx == 0 && dy == 0));
                EXPECT_TRUE(found) << name << " at " << ox << "," << oy;
                return;
            }
        ADD_FAILURE() << name << " is covered everywhere";
    }

    rtl::ScriptedDialogs dialogs_;
    std::string scratch_, book_, savedCwd_;
    int completed_ = 0;
};

const char* const kClickArticle = R"((function () {
  var links = document.querySelectorAll('a');
  for (var i = 0; i < links.length; i++) {
    var h = decodeURIComponent(links[i].getAttribute('href') || '');
    if (/\dpart[\\\/]\d+\.html$/i.test(h)) { links[i].click(); return h; }
  }
  return '';
})())";

const char* const kClickDelete = R"((function () {
  var links = document.querySelectorAll('a');
  for (var i = 0; i < links.length; i++) {
    var h = links[i].getAttribute('href') || '';
    if (h.indexOf('delete=') >= 0) { links[i].click(); return h; }
  }
  return '';
})())";

TEST_F(ViewerGuiTest, ReadsAPartFollowsItAndKeepsAFavourite) {
    StartViewer();
    ASSERT_TRUE(WaitForPage(0)) << "the first page never finished loading";
    ASSERT_FALSE(CurrentDoc.Path.empty());
    EXPECT_TRUE(Form1->Visible());

    // An article link of the first page.
    int before = completed_;
    std::string clicked = Evaluate(kClickArticle);
    ASSERT_FALSE(clicked.empty()) << "the first page links to no part page";
    ASSERT_TRUE(WaitForPage(before)) << clicked << " -> " << CurrentDoc.Path;
    std::smatch number;
    std::string article = CurrentDoc.Path;
    ASSERT_TRUE(std::regex_search(article, number, std::regex(R"((\d)part\\(\d+)\.html$)"))) << article;
    int page = std::stoi(number[2]);

    // Ctrl+Right to the next part page (Ctrl+Left when the page is the last of its part).
    std::string articleFile = book_ + "data/" + article;
    std::replace(articleFile.begin(), articleFile.end(), '\\', '/');
    bool forward = ReadText(articleFile).find("navbutfordown") != std::string::npos;
    ASSERT_TRUE(Load([&] { EXPECT_TRUE(Key(forward ? forms::VK_RIGHT : forms::VK_LEFT, forms::ssCtrl)); }));
    // The neighbour's folder is the first digit of the current page's number.
    std::string neighbour = std::to_string(page).substr(0, 1) + "part\\" + std::to_string(page + (forward ? 1 : -1)) + ".html";
    EXPECT_EQ(CurrentDoc.Path, neighbour);
    std::string bookmarked = CurrentDoc.Path;
    std::string bookmarkedName = bookmarked.substr(bookmarked.find('\\') + 1);

    // Add it to the favourites, then open favs.html: the page is listed.
    ASSERT_TRUE(Load([] { Form1->datacenter->Navigate(AppDir + "data\\favs.html?add"); }));
    EXPECT_EQ(CurrentDoc.Path, bookmarked);
    ASSERT_TRUE(Load([&] { EXPECT_TRUE(Key(122)); }));  // F11
    EXPECT_EQ(CurrentDoc.Path, "favs.html");
    EXPECT_NE(Composed().find(bookmarkedName), std::string::npos);
    EXPECT_EQ(Evaluate("document.body.innerHTML.indexOf('" + bookmarkedName + "') >= 0"), "true");

    // Delete it through its link: the list no longer holds it.
    ASSERT_TRUE(Load([&] { ASSERT_FALSE(Evaluate(kClickDelete).empty()) << "favs.html shows no delete link"; }));
    EXPECT_EQ(CurrentDoc.Path, "favs.html");
    EXPECT_EQ(Composed().find(bookmarkedName), std::string::npos);
    EXPECT_EQ(Evaluate("document.body.innerHTML.indexOf('" + bookmarkedName + "') >= 0"), "false");

    // The skin's frame, header and buttons around the page.
    guitest::PumpFor(200);
    const forms::TBitmap& raster = Form1->Raster();
    std::ofstream(savedCwd_ + "/viewer_gui_screenshot.bmp", std::ios::binary) << forms::EncodeBmp24(raster);
    forms::TRect page_area = Form1->datacenter->FormRect();
    EXPECT_GT(page_area.Left, 0);
    EXPECT_GT(page_area.Top, Form1->header->Height() - 1);
    EXPECT_LT(page_area.Right, Form1->ClientWidth());
    EXPECT_LT(page_area.Bottom, Form1->ClientHeight());
    EXPECT_FALSE(Form1->header->Picture().Empty());
    for (auto [image, name] : {std::pair{Form1->header, "header"}, {Form1->bg_tl, "bg_tl"}, {Form1->bg_tr, "bg_tr"},
                               {Form1->bg_bl, "bg_bl"}, {Form1->bg_br, "bg_br"}, {Form1->ico_clo, "ico_clo"},
                               {Form1->ico_min, "ico_min"}, {Form1->ico_max, "ico_max"}})
        ExpectPictureShown(image, name);
    ASSERT_FALSE(ButtonImages.empty());
    for (forms::TImage* button : ButtonImages) ExpectPictureShown(button, "skin button");
    EXPECT_TRUE(dialogs_.Log().empty()) << dialogs_.Log().front().Text;

    Form1->Close();
    EXPECT_TRUE(forms::Application().Terminated());
}

// ---- search ----

const char* const kClickFirstResult = R"((function () {
  var link = document.querySelector('a.template_search_link');
  if (!link) return '';
  link.click();
  return decodeURIComponent(link.getAttribute('href'));
})())";

TEST_F(ViewerGuiTest, SearchFromTheSearchBoxListsThePagesAndOpensOne) {
    StartViewer();
    ASSERT_TRUE(WaitForPage(0)) << "the first page never finished loading";

    // Type into the native search box; its first character is dropped before the search.
    void* entry = guitest::NativeWidget(*Form1->searcher);
    ASSERT_NE(entry, nullptr);
    gtk_widget_grab_focus(GTK_WIDGET(entry));
    gtk_entry_set_text(GTK_ENTRY(entry), " москва казань");
    ASSERT_TRUE(guitest::WaitUntil([] { return Form1->searcher->Text() == rtl::Ru(" москва казань"); }));
    ASSERT_TRUE(Load([] { guitest::PutKey(*Form1, GDK_KEY_Return); })) << "no results page";
    EXPECT_NE(CurrentDoc.Path.find("tomeview_search.tmp"), std::string::npos) << CurrentDoc.Path;

    // The rows are the pages the search finds, in its order, the two capitalised cities among them.
    const TPattern words = search::MakePattern(rtl::Ru("москва казань"));
    TSearch_res pages;
    search::CollectPages(AppDir + "data\\", "", pages, &words);
    const TSearch_res hits = search::FilterAndSort(pages);
    ASSERT_GE(hits.size(), 2u) << "the sample book should give several hits";
    const std::string results = ReadText(book_ + "data/tomeview_search.tmp");
    for (const char* article : {"href=\"2part\\200.html\"", "href=\"2part\\202.html\""})
        EXPECT_NE(results.find(article), std::string::npos) << article;
    size_t at = 0;
    for (const auto& hit : hits) {
        const size_t row = results.find("href=\"" + hit.Path + "\"", at);
        ASSERT_NE(row, std::string::npos) << hit.Path << " missing or out of order";
        at = row + 1;
    }
    EXPECT_EQ(Evaluate("document.querySelectorAll('a.template_search_link').length"), std::to_string(hits.size()));

    // Open the first result.
    const int before = completed_;
    const std::string clicked = Evaluate(kClickFirstResult);
    ASSERT_FALSE(clicked.empty());
    ASSERT_TRUE(WaitForPage(before));
    EXPECT_EQ(CurrentDoc.Path, hits.front().Path);
    EXPECT_TRUE(dialogs_.Log().empty());
    Form1->Close();
}

// ---- dialogs over the page ----

// The page's area on screen, without the scroll bar, which fades in and out on its own.
forms::TRect PageOnScreen() {
    forms::TRect r = Form1->datacenter->FormRect();
    return forms::Bounds(Form1->Left() + r.Left, Form1->Top() + r.Top, r.Width() - 20, r.Height());
}

TEST_F(ViewerGuiTest, ADialogClosedOverThePageLeavesThePageAsItWas) {
    guitest::WindowManager windowManager;
    REQUIRE_WINDOW_MANAGER(windowManager);
    StartViewer();
    ASSERT_TRUE(WaitForPage(0));
    guitest::PumpFor(500);
    const forms::TRect page = PageOnScreen();
    gtkui::GtkDialogService messageBoxes;
    std::optional<guitest::Screenshot> covered;
    auto showForm = [&](forms::TForm* dialog) {
        dialog->Show();
        guitest::PumpFor(500);
        covered.emplace(page);
        dialog->Close();
    };
    auto showMessageBox = [&] {
        // The box is answered from the loop its own run drives.
        gtkui::GtkDialogService::SetDialogShownHook([&](GtkDialog* box) {
            gtkui::GtkDialogService::SetDialogShownHook({});
            using Answer = std::function<void()>;
            g_timeout_add_full(
                G_PRIORITY_DEFAULT, 500,
                [](gpointer answer) {
                    (*static_cast<Answer*>(answer))();
                    return G_SOURCE_REMOVE;
                },
                new Answer([&, box] {
                    covered.emplace(page);
                    gtk_dialog_response(box, GTK_RESPONSE_OK);
                }),
                [](gpointer answer) { delete static_cast<Answer*>(answer); });
        });
        rtl::SetDialogService(&messageBoxes);
        messageBoxes.MessageDlg(rtl::Ru("Файл не найден"), rtl::mtCustom, rtl::mbOK);
        rtl::SetDialogService(&dialogs_);
    };
    const std::pair<const char*, std::function<void()>> dialogs[] = {
        {"settings dialog", [&] { showForm(sett); }},
        {"update dialog", [&] { showForm(Form5); }},
        {"message box", showMessageBox},
    };
    for (const auto& [name, showAndClose] : dialogs) {
        const guitest::Screenshot before(page);
        showAndClose();
        ASSERT_TRUE(covered.has_value()) << name;
        EXPECT_FALSE(*covered == before) << name << " did not cover the page";
        EXPECT_TRUE(guitest::WaitUntil([&] { return guitest::Screenshot(page) == before; }, 1000))
            << name << " left its traces on the page";
        covered.reset();
    }
    Form1->Close();
}

// ---- splash ----

// The longest time the grabs showed the picture without a break.
double LongestShown(const std::vector<guitest::ScreenWatch::Grab>& grabs, const forms::TBitmap& picture) {
    auto shows = [&](const guitest::ScreenWatch::Grab& grab) {
        size_t i = 0, same = 0;
        for (int y = 0; y < picture.Height(); y += guitest::ScreenWatch::kStep)
            for (int x = 0; x < picture.Width(); x += guitest::ScreenWatch::kStep, ++i)
                same += i < grab.samples.size() && grab.samples[i] == (picture.Pixel(x, y) & 0xFFFFFF);
        return same >= i * 99 / 100;
    };
    double longest = 0;
    for (size_t first = 0; first < grabs.size();) {
        size_t last = first;
        while (last < grabs.size() && shows(grabs[last])) ++last;
        if (last > first) longest = std::max(longest, grabs[last - 1].ms - grabs[first].ms);
        first = last + 1;
    }
    return longest;
}

TEST_F(ViewerGuiTest, TheSplashShowsItsPictureThroughItsPause) {
    guitest::WindowManager windowManager;
    REQUIRE_WINDOW_MANAGER(windowManager);
    SplashPauseMs = 2000;
    std::unique_ptr<guitest::ScreenWatch> watch;
    StartViewer([&] {
        // The splash is centred on the screen.
        const forms::TPoint screen = forms::Backend().ScreenSize();
        const int w = Form2->Width(), h = Form2->Height();
        watch = std::make_unique<guitest::ScreenWatch>(forms::Bounds((screen.X - w) / 2, (screen.Y - h) / 2, w, h));
    });
    ASSERT_TRUE(WaitForPage(0));
    const std::vector<guitest::ScreenWatch::Grab>& grabs = watch->Stop();
    ASSERT_FALSE(Form2->Image1->Picture().Empty()) << "the book has no splash picture";
    EXPECT_GE(LongestShown(grabs, Form2->Raster()), 1500.0) << grabs.size() << " grabs";
    Form1->Close();
}

// ---- music and clips ----

// The screen's pixels over a native child (the video panel), read from the X server.
std::vector<uint32_t> GrabNative(void* widget) {
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(widget));
    int x = 0, y = 0;
    gdk_window_get_origin(window, &x, &y);
    return guitest::GrabScreen(x, y, gdk_window_get_width(window), gdk_window_get_height(window));
}

TEST_F(ViewerGuiTest, ClipPagePausesTheMusicAndItsClipMovesInThePanel) {
    if (!fs::exists(book_ + "BackSound/lumen.mp3")) GTEST_SKIP() << "the book was built without its media";
    setenv("TOME_AUDIO_SINK", "fake", 1);
    media::UseSystemMedia();
    {
        rtl::TRegistry registry;
        registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
        ASSERT_TRUE(registry.OpenKey("\\Software\\orbel_lumen", true));
        registry.WriteString("BackSound", "lumen");
    }
    StartViewer();
    ASSERT_TRUE(WaitForPage(0));
    ASSERT_TRUE(guitest::WaitUntil([] { return Form1->music_but->Mode() == mpPlaying; })) << "no music";

    // The article that links to the clip pauses the music; the next one resumes it.
    struct Step {
        const char* page;
        TMPModes music;
    };
    for (const Step& step : {Step{"1part\\101.html", mpPaused}, Step{"1part\\102.html", mpPlaying},
                             Step{"1part\\101.html", mpPaused}}) {
        ASSERT_TRUE(Load([&] { Form1->OpenPage(step.page); })) << step.page;
        EXPECT_TRUE(guitest::WaitUntil([&] { return Form1->music_but->Mode() == step.music; }))
            << step.page << " left the music in mode " << Form1->music_but->Mode();
        EXPECT_EQ(Form1->Sound_pause->Enabled(), step.music == mpPlaying) << step.page;
    }

    // Its clip button plays the clip in the video panel: the picture moves.
    auto button = std::find_if(Buttons.begin(), Buttons.end(), [](const TMBut& b) { return b.Target == "clips\\volga.avi"; });
    ASSERT_NE(button, Buttons.end()) << "the skin has no clip button";
    forms::TRect place = ButtonImages[size_t(button - Buttons.begin())]->FormRect();
    guitest::PutButton(*Form1, true, place.Left + 20, place.Top + 20);
    guitest::PutButton(*Form1, false, place.Left + 20, place.Top + 20);
    ASSERT_TRUE(guitest::WaitUntil([] { return Form1->videocenter->Visible() && Form1->music_but->Mode() == mpPlaying; }));
    void* panel = guitest::NativeWidget(*Form1->videocenter);
    ASSERT_NE(panel, nullptr);
    guitest::PumpFor(500);
    const std::vector<uint32_t> first = GrabNative(panel);
    guitest::PumpFor(400);
    const std::vector<uint32_t> second = GrabNative(panel);
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second) << "the clip's picture does not move";
    EXPECT_GT(std::set<uint32_t>(first.begin(), first.end()).size(), 2u) << "the panel shows no picture";
    EXPECT_TRUE(dialogs_.Log().empty()) << dialogs_.Log().front().Text;

    Form1->Close();
    forms::ResetApplication();
    Form1 = nullptr;
    forms::SetMediaPeerFactory(nullptr);
    unsetenv("TOME_AUDIO_SINK");
}

// ---- second instance ----

// Starts the book's viewer as a program; its exit status, or -1 when it kept running.
int RunAnotherViewer(const std::string& book) {
    std::string program = book + "tomeview";
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    if (guitest::WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 15000))
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

TEST(ViewerSecondInstanceTest, EndsAtOnceWhileAnotherHoldsTheBook) {
    REQUIRE_BOOK();
    REQUIRE_GUI();
    std::string scratch = guitest::MakeScratchFolder("viewer-second");
    std::string book = CopyBook(scratch);
    rtl::THeldFile running;
    ASSERT_TRUE(running.Open(rtl::FromNativePath(book + "started.dat")));
    EXPECT_EQ(RunAnotherViewer(book), 0) << "the second viewer kept running or failed";
    EXPECT_FALSE(fs::exists(book + "data/tomeview.tmp"));  // it showed no page
    running.Close();
    guitest::RemoveScratchFolder(scratch);
}

// ---- settings and folders that cannot be written ----

const std::string kNotSaved = rtl::Ru("Не удается сохранить настройки. Программа продолжит работу без их сохранения.");

// A store that can be read, not written, naming the book elsewhere and asking for the last page:
// the viewer shows, goes Home and searches; the failed writes (install path, last page) are said once.
TEST_F(ViewerGuiTest, AStoreThatCannotBeWrittenLeavesTheReaderReading) {
    {
        rtl::TRegistry registry;
        registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
        ASSERT_TRUE(registry.OpenKey("\\Software\\orbel_lumen", true));
        registry.WriteString("PATH", "\\elsewhere\\");
        registry.WriteString("LastPage", "Enabled");
    }
    const std::string store = rtl::RegistryFileName(), stored = ReadText(store);
    rtltest::ReadOnlyPlace storeFolder(scratch_);
    if (!storeFolder.Usable()) GTEST_SKIP() << "a folder cannot be made read-only here";

    StartViewer();
    ASSERT_TRUE(WaitForPage(0)) << "the first page never finished loading";
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    auto home = std::find_if(Buttons.begin(), Buttons.end(), [](const TMBut& b) { return b.Target == "index.html"; });
    ASSERT_NE(home, Buttons.end());
    ASSERT_TRUE(Load([] { Form1->OpenPage("help.html"); }));
    ASSERT_TRUE(Load([&] { Form1->testbuttonClick(ButtonImages[size_t(home - Buttons.begin())]); }));
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    Form1->searcher->SetText(rtl::Ru(" река"));
    char enter = 13;
    ASSERT_TRUE(Load([&] { Form1->searcherKeyPress(Form1->searcher, enter); }));
    EXPECT_NE(ReadText(book_ + "data/tomeview_search.tmp").find("template_search_link"), std::string::npos);

    Form1->Close();
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(dialogs_.Log().front().Text, kNotSaved);
    EXPECT_EQ(ReadText(store), stored);
}

// A book on a read-only mount (a CD): pages composed in the private cache folder take their style,
// links and pictures from the book and keep their anchors; a favourite that cannot be saved is said
// once. A second viewer meets the lock on the book folder itself, whatever its runtime folder.
TEST_F(ViewerGuiTest, ABookOnAReadOnlyMountReadsSearchesOpensOnceAndExits) {
    fs::create_directories(scratch_ + "run");
    std::optional<rtltest::EnvGuard> runtime(std::in_place, "XDG_RUNTIME_DIR", scratch_ + "run");
    rtltest::EnvGuard cacheHome("XDG_CACHE_HOME", scratch_ + "cache");
    fs::remove(book_ + "started.dat");
    std::optional<rtltest::ReadOnlyMount> mount(std::in_place, book_);
    if (!mount->Usable()) GTEST_SKIP() << "a read-only mount is not permitted here";
    auto click = [&](const std::string& selector) {
        return Load([&] { ASSERT_EQ(Evaluate("(function(){var a=document.querySelector('" + selector +
                                             "'); if(!a) return ''; a.click(); return 'ok';})()"), "ok") << selector; });
    };

    StartViewer();
    ASSERT_TRUE(WaitForPage(0)) << "the first page never finished loading";
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    EXPECT_TRUE(dialogs_.Log().empty()) << dialogs_.Log().front().Text;
    EXPECT_EQ(Evaluate("getComputedStyle(document.body).backgroundColor"), "rgb(251, 248, 241)") << "no style sheet";
    EXPECT_EQ(Evaluate("document.images.length > 0 && document.images[0].naturalWidth > 0"), "true");

    ASSERT_TRUE(click("a.toplink[href=\"2part/200.html\"]"));
    EXPECT_EQ(CurrentDoc.Path, "2part\\200.html");
    Evaluate("document.querySelector('a[href$=\"#history\"]').click()");
    guitest::PumpFor(300);
    EXPECT_EQ(Evaluate("location.pathname.endsWith('tomeview.tmp') && location.hash"), "#history");

    Form1->searcher->SetText(rtl::Ru(" река"));
    char enter = 13;
    ASSERT_TRUE(Load([&] { Form1->searcherKeyPress(Form1->searcher, enter); }));
    EXPECT_EQ(CurrentDoc.Path, viewer::scratch::Folder(AppDir) + "tomeview_search.tmp");
    EXPECT_TRUE(viewer::scratch::InCache(AppDir));
    ASSERT_TRUE(click("a.template_search_link"));
    EXPECT_NE(CurrentDoc.Path.find("part\\"), std::string::npos) << CurrentDoc.Path;

    ASSERT_TRUE(click("#add-favorite"));
    ASSERT_TRUE(click("a.toplink[href=\"index.html\"]"));
    ASSERT_TRUE(click("#add-favorite"));
    ASSERT_TRUE(Load([&] { EXPECT_TRUE(Key(122)); }));  // F11: both listed for the run
    EXPECT_EQ(Evaluate("document.querySelectorAll('a.template_favor_link').length"), "2");
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(dialogs_.Log().front().Text, kNotSaved);

    runtime.reset();
    EXPECT_EQ(RunAnotherViewer(book_), 0);
    mount.reset();
    EXPECT_EQ(RunAnotherViewer(book_), 0);
    auto exit = std::find_if(Buttons.begin(), Buttons.end(), [](const TMBut& b) { return b.Subtype == 0; });
    ASSERT_NE(exit, Buttons.end());
    Form1->testbuttonClick(ButtonImages[size_t(exit - Buttons.begin())]);
    EXPECT_TRUE(forms::Application().Terminated());
    EXPECT_EQ(dialogs_.Log().size(), 1u);
}

}  // namespace
