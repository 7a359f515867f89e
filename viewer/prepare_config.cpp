// The configuration lines: decoding "config.ncf" and one handler per section, each acting on the
// main window's components.
#include <algorithm>
#include <exception>
#include <vector>

#include "platform/forms/application.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"
#include "viewer/forms.h"
#include "viewer/main.h"
#include "viewer/ncf.h"
#include "viewer/prepare.h"
#include "viewer/skinrules.h"

namespace viewer {

using forms::akBottom;
using forms::akLeft;
using forms::akRight;
using forms::akTop;
using rtl::Ru;

namespace {

constexpr forms::TCursor kLinkCursor = 2;

// A box of the custom type with OK; confirming it ends the program with exit code 1, closing it
// otherwise lets the caller go on.
void ReportFatal(const std::string& Message) {
    if (rtl::MessageDlg(Message, rtl::mtCustom, rtl::mbOK) == rtl::mrOk) HaltProgram(1);
}

void ReportSoundAlignment() {
    rtl::MessageDlg(Ru("Ошибка в конфигурационном файле, пожалуйста, переустановите приложение!"), rtl::mtError,
                    rtl::mbOK);
}

bool StartsWith(const std::string& Line, std::string_view Prefix) { return Line.compare(0, Prefix.size(), Prefix) == 0; }

int ConfigInt(const std::string& Value) { return rtl::StrToInt(Value); }

// A place or size written with room for any number of digits. One beyond any screen is held at
// 2^24 pixels, so sums with the window's sizes can never overflow.
constexpr int kMaxPlace = 1 << 24;
int ConfigPlace(const std::string& Value) { return std::clamp(ConfigInt(Value), -kMaxPlace, kMaxPlace); }

void SetCaptionOf(forms::TForm* Form, const std::string& Caption) {
    if (Form) Form->SetCaption(Caption);
}

std::vector<forms::TImage*> SoundControls(TForm1& f) { return {f.Sound_fon, f.sound_but, f.Sound_play, f.Sound_pause}; }

// "c" leaves the four sound controls unanchored, "l" anchors them left, "r" right.
void AlignSoundHorizontally(TForm1& f, char Code) {
    for (forms::TImage* control : SoundControls(f)) control->SetAnchors(0);
    forms::TAnchors anchors = 0;
    if (Code == 'l') anchors = akLeft;
    else if (Code == 'r') anchors = akRight;
    else if (Code != 'c') return ReportSoundAlignment();
    for (forms::TImage* control : SoundControls(f)) control->SetAnchors(anchors);
}

// Each of the four takes the track's anchors, plus the bottom ("b") or the top ("t"), or as they are ("m").
void AlignSoundVertically(TForm1& f, char Code) {
    forms::TAnchors anchors = f.Sound_fon->Anchors();
    if (Code == 'b') anchors |= akBottom;
    else if (Code == 't') anchors |= akTop;
    else if (Code != 'm') return ReportSoundAlignment();
    for (forms::TImage* control : SoundControls(f)) control->SetAnchors(anchors);
}

}  // namespace

// ---- decoding and dispatch ----

void TForm2::DecodeConfig(TKorDecoded& Lines) {
    const std::string path = ExePath + "config.ncf";
    if (!rtl::FileExists(path)) {
        rtl::MessageDlg(Ru("Файл config.ncf на найден. Пожалуйста, переустановите приложение"), rtl::mtCustom,
                        rtl::mbOK);
        return;
    }
    Lines = DecodeNcfFile(path);
}

bool TForm2::ApplyConfig() {
    Form1->datacenter->SetAnchors(akLeft | akTop | akRight | akBottom);
    TKorDecoded lines;
    DecodeConfig(lines);
    const bool result = !lines.empty();
    // A reload lists the styles of the newly applied file only.
    SkinStyles.clear();
    for (const std::string& decoded : lines) {
        const std::string line = CutComment(decoded);
        if (line.empty()) continue;
        if (StartsWith(line, "BUTTON")) ParseButtonLine(line);
        if (StartsWith(line, "MAINFORM_")) ParseMainFormLine(line);
        if (StartsWith(line, "DATACENTER_")) ParseDatacenterLine(line);
        if (StartsWith(line, "HEADER_")) ParseHeaderLine(line);
        if (StartsWith(line, "BACKGROUND_")) ParseBackgroundLine(line);
        if (StartsWith(line, "SEARCH_")) ParseSearchLine(line);
        if (StartsWith(line, "SKIN")) ParseSkinLine(line);
        if (StartsWith(line, "START_")) ParseStartLine(line);
        if (StartsWith(line, "URL_")) ParseUrlLine(line);
    }
    return result;
}

// ---- sections ----

void TForm2::ParseStartLine(const std::string& Line) {
    // The piece stands for the line from here on: values are lower-cased and at most 99 characters.
    const std::string piece = ShortKeyPiece(Line);
    if (rtl::Pos("button", piece) > 0) {
        const int n = ConfigInt(rtl::Trim(ValueAfterEquals(piece, 3)));
        StartButton = uint16_t(n - 1);
    }
    if (rtl::Pos("registry", piece) > 0) RegistryKeyName = rtl::Trim(ValueAfterEquals(piece, 99));
    if (rtl::Pos("name", piece) > 0) {
        forms::Application().Title = rtl::Trim(ValueAfterEquals(piece, 99));
        const std::string& title = forms::Application().Title;
        SetCaptionOf(Form1, title);
        SetCaptionOf(this, title);
        SetCaptionOf(sett, title);
        SetCaptionOf(Form5, title);
    }
}

void TForm2::ParseSkinLine(const std::string& Line) { SkinStyles.push_back(ParseSkinFields(Line)); }

void TForm2::ParseMainFormLine(const std::string& Line) {
    try {
        const std::string piece = EqualsKeyPiece(Line);
        const std::string value = ValueAfterEquals(Line, 4);
        switch (FindFirstKey(piece, {"width", "height"})) {
            case 0: Form1->SetWidth(ConfigInt(value)); break;
            case 1: Form1->SetHeight(ConfigInt(value)); break;
            default: break;
        }
    } catch (const std::exception&) {
        ReportFatal(Ru("Ошибка указания размеров окна приложения в конфигурационном файле."));
    }
}

void TForm2::ParseDatacenterLine(const std::string& Line) {
    try {
        const std::string piece = EqualsKeyPiece(Line);
        const std::string value = ValueAfterEquals(Line, 3);
        forms::TControl& browser = *Form1->datacenter;
        switch (FindFirstKey(piece, {"top", "bottom", "left", "right"})) {
            case 0: browser.SetTop(ConfigInt(value)); break;
            case 1: browser.SetHeight(Form1->ClientHeight() - browser.Top() - ConfigInt(value)); break;
            case 2: browser.SetLeft(ConfigInt(value)); break;
            case 3: browser.SetWidth(Form1->ClientWidth() - browser.Left() - ConfigInt(value)); break;
            default: break;
        }
    } catch (const std::exception&) {
        ReportFatal(Ru("Ошибка указания положения рабочего окна в конфигурационном файле."));
    }
}

void TForm2::ParseUrlLine(const std::string& Line) {
    if (rtl::Pos("update", EqualsKeyPiece(Line)) > 0) UpdateUrl = rtl::Trim(ValueAfterEquals(Line, 999));
}

void TForm2::ParseBackgroundLine(const std::string& Line) {
    const std::string piece = ShortKeyPiece(Line);
    const std::string value = ValueAfterEquals(Line, 99);
    TForm1& f = *Form1;
    forms::TImage* const pictures[] = {f.bg_top, f.bg_tl, f.bg_tr, f.bg_lt, f.bg_l,   f.bg_lb,   f.bg_rt,
                                       f.bg_r,   f.bg_rb, f.bg_bot, f.bg_bl, f.bg_br, f._resizer};
    const int key = FindFirstKey(piece, {"color", "top_center", "top_left", "top_right", "mid_left_top",
                                         "mid_left_mid", "mid_left_bot", "mid_right_top", "mid_right_mid",
                                         "mid_right_bot", "bottom_center", "bottom_left", "bottom_right",
                                         "resizer"});
    if (key == 0) {
        const forms::TColor color = ConfigColor(value);
        f.SetColor(color);
        f.videocenter->SetColor(color);
    } else if (key > 0) {
        AssignFaceImage(pictures[key - 1], value);
    }
}

void TForm2::ParseHeaderLine(const std::string& Line) {
    const std::string piece = ShortKeyPiece(Line);
    const std::string value = ValueAfterEquals(Line, 99);
    TForm1& f = *Form1;
    const char first = value.empty() ? '\0' : value[0];
    switch (FindFirstKey(piece, {"height", "bg", "ico_min", "ico_max", "ico_clo", "ico_log", "ico_name",
                                 "sound_fon1", "sound_but1", "play1", "pause1", "searcher_img",
                                 "sound_all_alignhor", "sound_all_alignver", "sound_fon_top", "sound_fon_left",
                                 "sound_but_top", "sound_playpause_top", "sound_playpause_left"})) {
        case 0: {
            const int n = ConfigInt(ValueAfterEquals(Line, 3));
            f.header->SetHeight(n);
            f.bg_top->SetTop(n);
            break;
        }
        case 1: AssignFaceImage(f.header, value); break;
        case 2: AssignFaceImage(f.ico_min, value); break;
        case 3: AssignFaceImage(f.ico_max, value); break;
        case 4:
            AssignFaceImage(f.ico_clo, value);
            f.ico_logo->Hide();
            f.ico_name->Hide();
            for (forms::TImage* control : SoundControls(f)) control->Hide();
            f.searcher_img->Hide();
            break;
        case 5:
            f.ico_logo->Show();
            AssignFaceImage(f.ico_logo, value);
            break;
        case 6:
            AssignFaceImage(f.ico_name, value);
            f.ico_name->Show();
            break;
        case 7:
            AssignFaceImage(f.Sound_fon, value);
            if (MusicEnabled) f.Sound_fon->Show();
            break;
        case 8:
            AssignFaceImage(f.sound_but, value);
            if (MusicEnabled) f.sound_but->Show();
            break;
        case 9: AssignFaceImage(f.Sound_play, value); break;
        case 10:
            AssignFaceImage(f.Sound_pause, value);
            if (MusicEnabled) f.Sound_pause->Show();
            break;
        case 11:
            AssignFaceImage(f.searcher_img, value);
            f.searcher_img->Show();
            break;
        case 12: AlignSoundHorizontally(f, first); break;
        case 13: AlignSoundVertically(f, first); break;
        case 14: f.Sound_fon->SetTop(ConfigPlace(value)); break;
        case 15: {
            const int n = ConfigPlace(value);
            f.Sound_fon->SetLeft(n);
            // The knob starts at the right end of the track.
            f.sound_but->SetLeft(n + f.Sound_fon->Width() - f.sound_but->Width() - 1);
            break;
        }
        case 16: f.sound_but->SetTop(ConfigPlace(value)); break;
        case 17: {
            const int n = ConfigPlace(value);
            f.Sound_play->SetTop(n);
            f.Sound_pause->SetTop(n);
            break;
        }
        case 18: {
            const int n = ConfigPlace(value);
            f.Sound_play->SetLeft(n);
            f.Sound_pause->SetLeft(n);
            break;
        }
        default: break;
    }
}

void TForm2::ParseSearchLine(const std::string& Line) {
    const std::string piece = rtl::LowerCase(Line);
    const std::string short3 = ValueAfterEquals(Line, 3);
    const std::string long99 = ValueAfterEquals(Line, 99);
    TForm1& f = *Form1;
    forms::TEdit& box = *f.searcher;
    forms::TImage& picture = *f.searcher_img;
    switch (FindFirstKey(piece, {"search_left", "search_top", "search_width", "search_height", "search_text",
                                 "search_color", "search_font_color", "search_halign", "search_valign",
                                 "search_img_top", "search_img_height", "search_img_left", "search_img_width"})) {
        case 0: box.SetLeft(ConfigInt(short3)); break;
        case 1:
            box.SetTop(ConfigInt(short3));
            SearchTop = uint16_t(box.Top());
            break;
        case 2: box.SetWidth(ConfigInt(short3)); break;
        case 3: box.SetHeight(ConfigInt(short3)); break;
        case 4: box.SetText(long99); break;
        case 5: box.SetColor(ConfigColor(long99)); break;
        case 6: {
            forms::TFont font = box.Font;
            font.Color = ConfigColor(long99);
            box.SetFont(font);
            break;
        }
        case 7: {
            box.SetAnchors(0);
            picture.SetAnchors(0);
            forms::TAnchors anchors = 0;
            if (short3 == "l") anchors = akLeft;
            else if (short3 == "r") anchors = akRight;
            // The centre, the Cyrillic "с", and any other value leave both without anchors.
            box.SetAnchors(anchors);
            picture.SetAnchors(anchors);
            break;
        }
        case 8:
            if (short3 == "t") {
                box.SetAnchors(box.Anchors() | akTop);
                picture.SetAnchors(picture.Anchors() | akTop);
            } else if (short3 == "b") {
                box.SetAnchors(box.Anchors() | akBottom);
                picture.SetAnchors(picture.Anchors() | akBottom);
            }
            break;
        case 9: {
            const int n = ConfigPlace(long99);
            picture.SetTop(n);
            SearchImgTop = uint16_t(n);
            break;
        }
        case 10: picture.SetHeight(ConfigPlace(long99)); break;
        case 11: picture.SetLeft(ConfigPlace(long99)); break;
        case 12: picture.SetWidth(ConfigPlace(long99)); break;
        default: break;
    }
}

// ---- picture buttons ----

void TForm2::ParseButtonLine(const std::string& Line) {
    const uint16_t index = uint16_t(Buttons.size());
    Buttons.push_back(TMBut{});
    const std::string number = rtl::IntToStr(int64_t(index) + 1);
    try {
        const auto fields = SplitButtonFields(Line);
        const int kind = ButtonKindCode(fields[bfKind]);
        if (kind < 0) ReportFatal(Ru("Ошибка указания типа кнопки ") + number + Ru(" в конфигурационном файле."));
        else Buttons[index].Kind = uint8_t(kind);
        const int subtype = ButtonSubtypeCode(fields[bfSubtype]);
        if (subtype < 0)
            ReportFatal(Ru("Ошибка указания подтипа кнопки ") + number + Ru(" в конфигурационном файле."));
        else Buttons[index].Subtype = uint8_t(subtype);

        TMBut& button = Buttons[index];
        button.Target = fields[bfTarget];
        button.Left = ConfigPlace(fields[bfLeft]);
        button.Top = ConfigPlace(fields[bfTop]);
        button.Width = uint16_t(ConfigInt(fields[bfWidth]));
        button.Height = uint16_t(ConfigInt(fields[bfHeight]));
        forms::TImage** holders[] = {&button.NormalPicture, &button.DownPicture, &button.UpPicture,
                                     &button.ExtraPicture};
        for (int k = 0; k < 4; ++k) {
            *holders[k] = new forms::TImage(Form1);
            AssignFaceImage(*holders[k], fields[size_t(bfNormal + k)]);
        }
        button.Visual = ExePath + "visual\\" + fields[bfVisual];
        button.HAlign = ButtonHAlignCode(fields[bfHAlign]);
        button.VAlign = ButtonVAlignCode(fields[bfVAlign]);
        button.Hint = fields[bfHint];
    } catch (const std::exception&) {
        ReportFatal(Ru("Ошибка описания кнопки ") + number + Ru(" в конфигурационном файле."));
    }
    CreateButtonImage(index);
}

void TForm2::CreateButtonImage(uint16_t Index) {
    TForm1& f = *Form1;
    const TMBut& button = Buttons[Index];
    ButtonImages.resize(Buttons.size(), nullptr);
    auto* image = new forms::TImage(&f);
    image->SetParent(&f);
    ButtonImages[Index] = image;

    image->Tag = Index;
    image->SetVisible(true);
    image->SetName("but_" + rtl::IntToStr(Index));
    image->SetWidth(button.Width);
    image->SetHeight(button.Height);
    image->Hint = button.Hint;
    image->ShowHint = true;
    if (button.NormalPicture) image->Picture().Assign(button.NormalPicture->Picture());
    image->OnClick = f.testbutton->OnClick;
    image->OnMouseMove = f.testbutton->OnMouseMove;
    image->OnMouseDown = f.testbutton->OnMouseDown;
    image->OnMouseUp = f.testbutton->OnMouseUp;
    image->SetCursor(kLinkCursor);

    ExePath = rtl::IncludeTrailingBackslash(rtl::ProgramFolder());
    if (!rtl::SetCurrentDir(ExePath + "data\\")) rtl::RaiseInOutError(2, ExePath + "data\\");

    const int clientWidth = f.ClientWidth();
    forms::TAnchors anchors = image->Anchors();
    switch (button.HAlign) {
        case kAlignLeft:
            anchors = akLeft;
            image->SetLeft(button.Left);
            break;
        case kAlignRight:
            anchors = akRight;
            image->SetLeft(clientWidth - button.Left - button.Width);
            break;
        case kAlignBoth:
            anchors = akLeft | akRight;
            image->SetLeft(button.Left);
            break;
        default: break;
    }
    if (button.VAlign == kAlignTop) anchors |= akTop;
    else if (button.VAlign == kAlignBottom) anchors |= akBottom;
    else if (button.VAlign == kAlignBoth) anchors |= akTop | akBottom;
    image->SetAnchors(anchors);
    image->Show();
}

}  // namespace viewer
