#include "tools/booksetup/first_start.h"

#include "platform/rtl/registry.h"

namespace booksetup {

bool RecordBackgroundTrack(const std::string& registryKey, const std::string& track) {
    if (!rtl::NamesSubkey(registryKey)) return false;  // no product key: never onto "\Software\" itself
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    if (!registry.OpenKey("\\Software\\" + registryKey, true)) return false;
    const bool stored = registry.ValueExists("BackSound");
    if (!stored) registry.WriteString("BackSound", track);
    registry.CloseKey();
    return !stored;
}

}  // namespace booksetup
