// What an extraction and a test must have done with each entry, judged from what the archive
// states and what the run reported, never from the library's own checks:
// - the archive's reports are recorded per operation: each entry is started and ended (done), or
//   reported as failed; an entry whose password was refused is skipped;
// - an entry reported as extracted lies at its name in the target folder (case-blind, through real
//   folders only, never a link), with its stated size and a CRC-32 computed here; where several
//   entries meet one name, the last one reported wins;
// - no two names of one folder of the target differ only in case;
// - a test passes an unencrypted stored or deflated entry exactly when its data, inflated here,
//   give its stated size and CRC.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "archive/ZipArchiver.h"

namespace fuzzarchive {

// The archiver as the updater runs it, with what it reports kept for the oracle.
class TObservedArchiver : public TZipArchiver {
public:
    enum class TKind { Started, Done, Failed, Skipped };
    struct TReport {
        TZAProcessOperation Op;
        TKind Kind;
        std::string Name;  // '/' separates folders
    };
    std::vector<TReport> Reports;
    bool Aborted = false;  // an operation ended by an exception: entries after it may go unreported

    void DoOnFileProgress(const std::string& FileName, double Progress, TZAProcessOperation Operation,
                          TZAProgressPhase ProgressPhase, bool& Cancel) override;
    void DoOnProcessFileFailure(const std::string& FileName, TZAProcessOperation Operation, int32_t NativeError,
                                int32_t ErrorCode, const std::string& ErrorMessage, TZAAction& Action) override;
    void DoOnPassword(const std::string& FileName, std::string& NewPassword, bool& SkipFile) override;
};

// The entries as the open read them, before the run.
std::vector<TDirItem> EntriesOf(const TZipArchiver& archiver);

// Judges the run. archiveBytes: the whole archive when it is a single file, else empty (a test is
// then not judged against a decode of its own).
void CheckEntries(const TObservedArchiver& archiver, const std::vector<TDirItem>& entries,
                  const std::string& targetFolder, std::string_view archiveBytes);

}  // namespace fuzzarchive
