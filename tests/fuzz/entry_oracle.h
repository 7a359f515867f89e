// Judges each entry's extraction and test from what the archive states and what the run reported,
// never from the library's own checks (CRC and inflate via zlib here, names found by listing folders).
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
    struct TReport { TZAProcessOperation Op; TKind Kind; std::string Name; };  // '/' separates folders
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

// archiveBytes: the whole archive when it is a single file, else empty (tests then go unjudged).
void CheckEntries(const TObservedArchiver& archiver, const std::vector<TDirItem>& entries,
                  const std::string& targetFolder, std::string_view archiveBytes);

}  // namespace fuzzarchive
