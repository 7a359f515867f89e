// The viewer's registry values under HKEY_LOCAL_MACHINE "\Software\" + RegistryKeyName.
// Each accessor uses its own registry object for one operation; a key that cannot be opened makes
// the readers return "" and the writers skip their write, without a message.
#include "platform/rtl/registry.h"
#include "viewer/main.h"

namespace viewer {

bool OpenViewerKey(rtl::TRegistry& registry) {
    // Until the skin configuration has named the book's key (or when it names none) the book has
    // no key: its values must never land on "\Software\" itself.
    if (!rtl::NamesSubkey(RegistryKeyName)) return false;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    return registry.OpenKey("\\Software\\" + RegistryKeyName, true);
}

namespace {

// Reads a string value; when it is empty or missing, writes it as "" and returns "".
// False when the key could not be opened.
bool ReadOrCreateEmpty(const char* name, std::string& value) {
    value.clear();
    rtl::TRegistry registry;
    if (!OpenViewerKey(registry)) return false;
    value = registry.ReadString(name);
    if (value.empty()) registry.WriteString(name, "");
    registry.CloseKey();
    return true;
}

void WriteValue(const char* name, const std::string& value) {
    rtl::TRegistry registry;
    if (!OpenViewerKey(registry)) return;
    registry.WriteString(name, value);
    registry.CloseKey();
}

void SetSoundPicturesVisible(TForm1& form, bool visible) {
    for (forms::TImage* picture : {form.Sound_fon, form.sound_but, form.Sound_play, form.Sound_pause})
        if (picture) picture->SetVisible(visible);
}

}  // namespace

void TForm1::ReadBackSound(std::string& Value) {
    if (!ReadOrCreateEmpty("BackSound", Value)) return;
    MusicEnabled = Value.empty() ? 0 : 1;
    SetSoundPicturesVisible(*this, MusicEnabled != 0);
}

void TForm1::ReadLastPage(std::string& Value) { ReadOrCreateEmpty("LastPage", Value); }

void TForm1::ReadStyle(std::string& Value) { ReadOrCreateEmpty("Style", Value); }

void TForm1::WriteSoundAndStyle(const std::string& Sound, const std::string& Style) {
    WriteValue("BackSound", Sound);
    WriteValue("Style", Style);
}

void TForm1::WriteLastPage(const std::string& Value) { WriteValue("LastPage", Value); }

}  // namespace viewer
