// The archiver as the updater drives it, over files in a scratch layout that lets a target see
// whether anything was written where it must not be:
//
//   <scratch>/fence1/fence2/fence3/run/archive.zip (and the other volumes)
//   <scratch>/fence1/fence2/fence3/run/out/         the target folder, holding existing.txt
//   <scratch>/fence1/fence2/fence3/run/keep.txt     beside the target folder
//
// Entry names that climb out of out/ land inside <scratch> for up to four levels, where the check
// finds them.
#pragma once

#include <string>
#include <string_view>

#include "archive/ZipArchiver.h"

namespace fuzzarchive {

struct TLayout {
    std::string Root;     // <scratch>/, native
    std::string Run;      // .../run/, native
    std::string Out;      // .../run/out/, native
    std::string Archive;  // .../run/archive.zip, native
};

// Empties the layout and puts the two existing files back.
const TLayout& FreshLayout();

// Writes one volume of the archive into run/ and remembers it as a file that belongs there.
void WriteVolume(const std::string& nativePath, std::string_view bytes);

// Opens archiver.FileName as the updater does (read-write when it can), then extracts every entry
// into out/ and tests every entry; the password prompt is answered, failures are ignored so the run
// goes on, and errors the library reports end the attempt quietly. Closes the archive. Then aborts
// when a file appeared outside out/ (other than the volumes written) or an existing file was
// emptied without the archive holding an empty entry of that name.
void ExtractTestAndCheck(TZipArchiver& archiver, const TLayout& layout);

}  // namespace fuzzarchive
