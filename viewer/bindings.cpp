// The configuration record "intcfg.dat": loading that survives a short or damaged file, and
// atomic saving.
#include "viewer/bindings.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/textfile.h"
#include "viewer/main.h"

namespace viewer {

TIntConfig IntConfig{};

namespace {

bool DamageReported = false;
// Set when the record file exists but could not be read at all: its bookmarks may still be there, so
// it is not replaced by the zeroed record of this run.
bool RecordUnreadable = false;

std::string RecordPath() { return AppDir + "intcfg.dat"; }

// Up to one record's bytes from the start of the file; the count actually read.
size_t ReadRecordPrefix(const std::string& path, TIntConfig& into) {
    rtl::TFileStream file(path, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    char* bytes = reinterpret_cast<char*>(&into);
    size_t done = 0;
    while (done < sizeof(TIntConfig)) {
        int64_t got = file.Read(bytes + done, int64_t(sizeof(TIntConfig) - done));
        if (got <= 0) break;
        done += size_t(got);
    }
    return done;
}

// Cuts a string whose length byte exceeds its room to that room; true when it had to.
template <size_t N>
bool Repair(TShortString<N>& s) {
    if (s.LengthValid()) return false;
    s.Length = uint8_t(N);
    return true;
}

// Every string is repaired, so the count (not a short-circuiting "or") tells whether any was.
bool RepairStrings(TIntConfig& record) {
    int repaired = int(Repair(record.ProxyHost)) + int(Repair(record.ProxyUser)) + int(Repair(record.ProxyPassword));
    for (TBookmark& slot : record.Bookmarks)
        repaired += int(Repair(slot.Path)) + int(Repair(slot.Added)) + int(Repair(slot.Title));
    return repaired > 0;
}

void ReportDamageOnce() {
    if (DamageReported) return;
    DamageReported = true;
    rtl::Dialogs().MessageDlg(
        rtl::Ru("Файл настроек intcfg.dat поврежден. Недостающие настройки и закладки сброшены."),
        rtl::mtWarning, rtl::mbOK);
}

}  // namespace

void LoadIntConfig() {
    const std::string path = RecordPath();
    RecordUnreadable = false;
    if (!rtl::FileExists(path)) return;
    TIntConfig loaded{};
    bool damaged = false;
    try {
        damaged = ReadRecordPrefix(path, loaded) < sizeof(TIntConfig);
    } catch (const rtl::Exception&) {
        loaded = TIntConfig{};
        damaged = true;
        RecordUnreadable = true;
    }
    damaged = RepairStrings(loaded) || damaged;
    IntConfig = loaded;
    if (damaged) ReportDamageOnce();
}

void SaveIntConfig() {
    if (RecordUnreadable)
        throw rtl::EInOutError("intcfg.dat could not be read; it is kept as it is and not replaced", 5);
    rtl::WriteRecord(RecordPath(), IntConfig);
}

void SaveIntConfigOrReport() {
    try {
        SaveIntConfig();
    } catch (const rtl::Exception&) {
        ReportSettingsNotSaved();
    }
}

void ResetBindingsState() {
    IntConfig = TIntConfig{};
    DamageReported = false;
    RecordUnreadable = false;
}

}  // namespace viewer
