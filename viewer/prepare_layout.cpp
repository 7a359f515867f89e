// The layout pass: places the frame pieces, icons, browser, buttons, search box and sound controls
// once the configuration has been applied.
#include "viewer/main.h"
#include "viewer/prepare.h"
#include "viewer/skinrules.h"

namespace viewer {

namespace {

int Bottom(const forms::TControl& c) { return c.Top() + c.Height(); }

// Mirrors a control placed from the right edge: its configured left counts from there.
void MirrorLeft(forms::TControl& c, int clientWidth) { c.SetLeft(clientWidth - c.Width() - c.Left()); }
void MirrorTop(forms::TControl& c, int clientHeight) { c.SetTop(clientHeight - c.Height() - c.Top()); }

}  // namespace

void TForm2::LayoutSkin() {
    TForm1& f = *Form1;
    auto CW = [&f] { return f.ClientWidth(); };
    auto CH = [&f] { return f.ClientHeight(); };

    // Header row: window icons at the right edge, close rightmost; logo and name at the left.
    for (forms::TImage* icon : {f.ico_min, f.ico_max, f.ico_clo, f.ico_logo, f.ico_name}) icon->SetTop(0);
    f.ico_clo->SetLeft(CW() - f.ico_clo->Width());
    f.ico_max->SetLeft(CW() - f.ico_clo->Width() - f.ico_max->Width());
    f.ico_min->SetLeft(CW() - f.ico_clo->Width() - f.ico_max->Width() - f.ico_min->Width());
    f.ico_logo->SetLeft(0);
    f.ico_name->SetLeft(f.ico_logo->Width());

    // The browser below the header strip; the bottom margin stays.
    forms::TControl& browser = *f.datacenter;
    browser.SetTop(browser.Top() + f.header->Height());
    browser.SetHeight(browser.Height() - f.header->Height());
    f.videocenter->SetLeft((CW() - 640) / 2);
    f.videocenter->SetTop(browser.Top());

    // Top and bottom frame.
    for (forms::TImage* piece : {f.bg_top, f.bg_tl, f.bg_tr}) piece->SetTop(f.header->Height());
    f.bg_tr->SetLeft(CW() - f.bg_tr->Width());
    f.bg_top->SetHeight(browser.Top() - f.header->Height());
    f.bg_bot->SetTop(Bottom(browser));
    f.bg_bot->SetHeight(CH() - browser.Height() - browser.Top());
    f.bg_top->SetWidth(CW());
    f._resizer->SetTop(CH() - f._resizer->Height());
    f._resizer->SetLeft(CW() - f._resizer->Width());
    f.bg_bl->SetTop(f.bg_bot->Top());
    f.bg_br->SetTop(f.bg_bot->Top());
    f.bg_br->SetLeft(CW() - f.bg_br->Width());

    // Side columns beside the browser.
    f.bg_lt->SetTop(f.bg_top->Height() + f.header->Height());
    f.bg_lb->SetTop(Bottom(browser) - f.bg_lb->Height());
    f.bg_l->SetTop(Bottom(*f.bg_lt));
    f.bg_l->SetHeight(browser.Height() - f.bg_lt->Height() - f.bg_lb->Height());
    f.bg_rt->SetTop(f.bg_top->Height() + f.header->Height());
    f.bg_rb->SetTop(Bottom(browser) - f.bg_rb->Height());
    f.bg_r->SetTop(Bottom(*f.bg_rt));
    f.bg_r->SetHeight(browser.Height() - f.bg_rt->Height() - f.bg_rb->Height());

    // The browser area never becomes lower than 600 or narrower than 900 pixels.
    forms::TSizeConstraints limits = f.Constraints();
    limits.MinHeight = browser.Top() + f.bg_bot->Height() + 600;
    limits.MinWidth = CW() - browser.Width() + 900;
    f.SetConstraints(limits);

    // Buttons move below the header; the table entry keeps the shifted top.
    for (size_t i = 0; i < Buttons.size(); ++i) {
        Buttons[i].Top += f.header->Height();
        if (i < ButtonImages.size() && ButtonImages[i]) ButtonImages[i]->SetTop(Buttons[i].Top);
    }

    // A search box anchored right or at the bottom counts its place from that edge.
    if (f.searcher->Anchors() & forms::akRight) {
        MirrorLeft(*f.searcher, CW());
        MirrorLeft(*f.searcher_img, CW());
    }
    if (f.searcher->Anchors() & forms::akBottom) {
        MirrorTop(*f.searcher, CH());
        MirrorTop(*f.searcher_img, CH());
    }

    // Right-aligned sound controls are mirrored the same way; the knob shows the volume.
    if (!(f.sound_but->Anchors() & forms::akRight)) return;
    MirrorLeft(*f.Sound_fon, CW());
    const bool playing = f.music_but->Mode() == mpPlaying;
    const int playerVolume = playing && VolumePos <= 10 ? f.GetMusicVolume(f.music_but) : 0;
    const int offset = KnobOffset(f.Sound_fon->Width(), playing, VolumePos, playerVolume);
    f.sound_but->SetLeft(f.Sound_fon->Left() + offset - 1);
    MirrorLeft(*f.Sound_play, CW());
    MirrorLeft(*f.Sound_pause, CW());
}

}  // namespace viewer
