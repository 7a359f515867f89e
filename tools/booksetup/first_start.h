// What an installer records for the sample book before its first start.
#pragma once

#include <string>

namespace booksetup {

// Records the background track (base name of an MP3 in the book's BackSound folder) as the value
// "BackSound" under HKEY_LOCAL_MACHINE "\Software\" + registryKey, where the viewer reads it, unless
// that value exists already: whatever a reader chose later (another track, or none) is kept.
// A registryKey that names no key below "\Software\" records nothing. True when it recorded the track.
bool RecordBackgroundTrack(const std::string& registryKey, const std::string& track);

}  // namespace booksetup
