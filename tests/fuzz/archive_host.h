// The archiver as the updater drives it, in a private root folder (in memory) that holds everything
// a run may touch:
//
//   <root>/tmp/                     the process's temporary folder (TMPDIR), where tests extract
//   <root>/run/keep.txt             beside the target folders, never touched
//   <root>/outside/kept.txt         what a link in a target folder leads to, never touched
//   <root>/run/out/                 target folder when the archive lies beside it:
//   <root>/run/archive.zip              (and its other volumes)
//   <root>/run/book/                target folder when the archive lies inside it, as the updater
//   <root>/run/book/updated.zip         unpacks the program folder's updated.zip into that folder
//
// Each target folder holds existing.txt and links "lin" (to itself), "lout" (to <root>/outside) and
// "lzip" (to the archive); each run starts with the case-blind folder index empty. Three checks
// together see every place a write can reach:
// - every change the library makes through the platform's file-system calls (the only ones it
//   may use) is judged before it happens, wherever its name leads (any number of "..", an absolute
//   name, a link): only the target folder and the temporary folder may change, and the archive may
//   be opened for writing but not created, truncated, renamed or removed;
// - after the run the whole root is walked: nothing may have appeared outside the target folder,
//   the temporary folder is empty again and keep.txt is as written;
// - the bytes of the archive and of every volume are read back through a descriptor held since they
//   were written, so a write into the file being read is seen even after its name was replaced.
// What was written into the target folder, and what the test said, is judged by entry_oracle.h.
#pragma once

#include <string>
#include <string_view>

#include "entry_oracle.h"

namespace fuzzarchive {

enum class TPlacement { BesideTarget, InsideTarget };

struct TLayout {
    TPlacement Placement;
    std::string Out;      // the target folder, native, trailing "/"
    std::string Archive;  // the last (or only) volume, native
};

// The layout with its target folder back as it was before the last run: only what that run
// changed is reset.
const TLayout& FreshLayout(TPlacement placement);

// Writes one volume of the archive and keeps a descriptor to it for the check.
void WriteVolume(const std::string& nativePath, std::string_view bytes);

// Opens the layout's archive as the updater does (read-write when it can), extracts and tests every
// entry (passwords answered, failures passed over, errors end the attempt quietly) and closes it.
// Aborts on a change outside the target and temporary folders, and after the run when the root
// shows one, the archive's bytes changed, an existing file was emptied without the archive holding
// an empty entry of that name, or the entry oracle objects.
void ExtractTestAndCheck(const TLayout& layout);

}  // namespace fuzzarchive
