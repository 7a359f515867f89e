// The favourites: adding the current document, deleting a bookmark, and the list fragment that
// data pages pull in with an include directive.
#include <cstdio>
#include <optional>

#include "platform/forms/application.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"
#include "viewer/bindings.h"
#include "viewer/main.h"
#include "viewer/prepare.h"
#include "viewer/scratch.h"

namespace viewer {

namespace {

std::string PageFile(const std::string& path) { return AppDir + "data\\" + path; }

bool MessageConfirmed(const std::string& text) {
    return rtl::Dialogs().MessageBox(text, forms::Application().Title, rtl::MB_OK) == rtl::IDOK;
}

// Reads the page line by line up to the first line that holds "title" (any letter case) and
// returns it; none when the page has no such line. A clip may be large: only what is needed is read.
std::optional<std::string> FirstTitleLine(const std::string& path) {
    rtl::TFileStream file(path, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    std::string pending;
    char chunk[16384];
    auto isTitle = [](const std::string& line) { return rtl::LowerCase(line).find("title") != std::string::npos; };
    for (;;) {
        int64_t got = file.Read(chunk, sizeof chunk);
        if (got > 0) pending.append(chunk, size_t(got));
        size_t start = 0;
        for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = pending.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (isTitle(line)) return line;
        }
        pending.erase(0, start);
        if (got <= 0) break;
    }
    if (!pending.empty() && isTitle(pending)) return pending;
    return std::nullopt;
}

std::string ReadPageTitle(const std::string& path) {
    std::optional<std::string> line = FirstTitleLine(PageFile(path));
    return line ? TitleFromLine(*line) : std::string();
}

// True when the scan ends on a duplicate confirmed with OK.
bool ConfirmedDuplicate() {
    const std::string current = CurrentDoc.Path;
    for (const TBookmark& slot : IntConfig.Bookmarks)
        if (slot.Path.Get() == current &&
            MessageConfirmed(rtl::Ru("Данная страница уже добавлена в избранное")))
            return true;
    return false;
}

int FirstFreeSlot() {
    for (int n = 0; n < kBookmarkSlots; ++n)
        if (IntConfig.Bookmarks[n].Path.IsEmpty()) return n;
    return -1;
}

void ClearSlot(TBookmark& slot) {
    slot.Path.Clear();
    slot.Added.Clear();
    slot.Title.Clear();
}

// The first "delete=" of a post piece (any letter case) followed by the slot number.
std::string NumberDeleteLink(std::string post, int slot) {
    size_t at = rtl::LowerCase(post).find("delete=");
    if (at != std::string::npos) post.replace(at, 7, "delete=" + std::to_string(slot));
    return post;
}

std::string FavoriteRow(int n, const TBookmark& slot) {
    const TKorTemplate& t = FavoritesTemplate;
    std::string title = slot.Title.IsEmpty() ? rtl::Ru("Без названия") : slot.Title.Get();
    bool even = n % 2 == 0;
    const std::string& pre = even ? t.pre_even : t.pre_odd_row;
    std::string post = NumberDeleteLink(even ? t.post_even : t.post_odd_row, n);
    return pre + "<a href=\"" + slot.Path.Get() + "\" class=\"template_favor_link\">" + title + "</a>" + post;
}

}  // namespace

std::string TitleFromLine(const std::string& Line) {
    int e = rtl::Pos("=", Line);
    int s = rtl::Pos(";", Line);
    int count = s - e - 1;
    return count > 0 ? rtl::Copy(Line, e + 1, std::min(count, 255)) : std::string();
}

std::string BookmarkTimestamp() {
    int year, month, day, hour, minute, second, msec;
    rtl::TDateTime now = rtl::Now();
    rtl::DecodeDate(now, year, month, day);
    rtl::DecodeTime(now, hour, minute, second, msec);
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", day, month, year, hour, minute, second);
    return std::string(text).substr(0, 19);
}

void AddBookmark() {
    if (ConfirmedDuplicate()) return;
    int freeSlot = FirstFreeSlot();
    if (freeSlot < 0) {
        MessageConfirmed(rtl::Ru("Невозможно добавить более 100 закладок. Удалите ненужные."));
    } else {
        // The title is read before the slot changes, so a page that cannot be read (a generated
        // page, which is no file of the data folder, or one gone since) adds nothing; the reader is
        // told so in the viewer's words, not the run time's.
        std::string title;
        try {
            title = ReadPageTitle(CurrentDoc.Path.substr(0, 255));
        } catch (const rtl::Exception&) {
            throw rtl::Exception(rtl::Ru("Не удается добавить эту страницу в избранное."));
        }
        TBookmark& slot = IntConfig.Bookmarks[freeSlot];
        slot.Path.Set(CurrentDoc.Path);
        slot.Added.Set(BookmarkTimestamp());
        slot.IsVideo = CurrentDoc.IsVideo;
        slot.Title.Set(title);
    }
    SaveIntConfigOrReport();
    WriteFavoritesPage();
    if (Form1) Form1->OpenPage(CurrentDoc.Path);
}

void DeleteBookmark(uint16_t Slot) {
    // The number comes from a link in a page: anything outside the table is ignored.
    if (Slot >= kBookmarkSlots) return;
    TBookmark* slots = IntConfig.Bookmarks;
    ClearSlot(slots[Slot]);
    for (int i = 0; i < kBookmarkSlots - 1; ++i) {
        if (!slots[i].Path.IsEmpty()) continue;
        for (int j = i; j < kBookmarkSlots - 1; ++j) slots[j] = slots[j + 1];
        ClearSlot(slots[kBookmarkSlots - 1]);
    }
    SaveIntConfigOrReport();
    WriteFavoritesPage();
}

std::string FavoritesFragment() {
    std::string text = FavoritesTemplate.prefix;
    for (int n = 0; n < kBookmarkSlots; ++n) {
        const TBookmark& slot = IntConfig.Bookmarks[n];
        if (slot.Path.IsEmpty() || !rtl::FileExists(PageFile(slot.Path.Get()))) continue;
        text += FavoriteRow(n, slot);
    }
    return text;
}

void WriteFavoritesPage() { scratch::Write(AppDir, scratch::kFavorites, FavoritesFragment() + "\r\n"); }

void RefreshFavoritesPage() {
    try {
        WriteFavoritesPage();
    } catch (const rtl::Exception&) {
    }
}

}  // namespace viewer
