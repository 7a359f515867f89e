// The viewer's registry values under HKEY_LOCAL_MACHINE "\Software\" + RegistryKeyName.
// Each accessor uses its own registry object for one operation. Readers only read: a missing key or
// value reads as "". A write that fails (a store that cannot be written) is reported once a run and
// the viewer goes on with the value it has in hand.
#include "platform/rtl/registry.h"

#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "viewer/main.h"

namespace viewer {

namespace {

// Opens the book's key: for writing, created when missing (canCreate), else read-only.
bool OpenViewerKey(rtl::TRegistry& registry, bool canCreate) {
    // Until the skin configuration has named the book's key (or when it names none) the book has
    // no key: its values must never land on "\Software\" itself.
    if (!rtl::NamesSubkey(RegistryKeyName)) return false;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    return canCreate ? registry.OpenKey("\\Software\\" + RegistryKeyName, true)
                     : registry.OpenKeyReadOnly("\\Software\\" + RegistryKeyName);
}

}  // namespace

void ReportSettingsNotSaved() {
    if (SettingsFailureReported) return;
    SettingsFailureReported = true;
    rtl::Dialogs().MessageDlg(rtl::Ru("Не удается сохранить настройки. Программа продолжит работу без их сохранения."),
                              rtl::mtWarning, rtl::mbOK);
}

// Reads a string value, "" when it is missing. False while the book names no key of its own.
bool ReadSetting(const char* name, std::string& value) {
    value.clear();
    if (!rtl::NamesSubkey(RegistryKeyName)) return false;
    rtl::TRegistry registry;
    try {
        if (OpenViewerKey(registry, false)) value = registry.ReadString(name);
    } catch (const rtl::ERegistryException&) {
        value.clear();  // a number where a text belongs reads as missing
    }
    return true;
}

void WriteSetting(const char* name, const std::string& value) {
    if (!rtl::NamesSubkey(RegistryKeyName)) return;
    rtl::TRegistry registry;
    try {
        if (OpenViewerKey(registry, true)) {
            registry.WriteString(name, value);
            return;
        }
    } catch (const rtl::ERegistryException&) {
    }
    ReportSettingsNotSaved();
}

namespace {

void SetSoundPicturesVisible(TForm1& form, bool visible) {
    for (forms::TImage* picture : {form.Sound_fon, form.sound_but, form.Sound_play, form.Sound_pause})
        if (picture) picture->SetVisible(visible);
}

}  // namespace

void TForm1::ReadBackSound(std::string& Value) {
    if (!ReadSetting("BackSound", Value)) return;
    MusicEnabled = Value.empty() ? 0 : 1;
    SetSoundPicturesVisible(*this, MusicEnabled != 0);
}

void TForm1::ReadLastPage(std::string& Value) { ReadSetting("LastPage", Value); }

void TForm1::ReadStyle(std::string& Value) { ReadSetting("Style", Value); }

void TForm1::WriteSoundAndStyle(const std::string& Sound, const std::string& Style) {
    WriteSetting("BackSound", Sound);
    WriteSetting("Style", Style);
}

void TForm1::WriteLastPage(const std::string& Value) { WriteSetting("LastPage", Value); }

}  // namespace viewer
