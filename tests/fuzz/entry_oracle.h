// Judges each entry's extraction and test from what the archive states and what the run reported,
// never from the library's own checks (CRC and inflate via zlib here, names found by listing folders).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// An entry as a directory states it, and where its local header lies in the bytes read.
struct TStated {
    std::string Name;
    uint16_t MadeBy, Flags, Method;
    uint32_t Crc;
    int64_t Packed, Unpacked, Offset, HeaderAt;
};

// CRC-32 by zlib.
uint32_t Crc32Of(std::string_view bytes);

// A single-file archive's entries by the oracle's own reader, each with whether its data decode to the
// stated size and CRC; none unless the archive is plainly whole.
std::optional<std::vector<std::pair<TStated, bool>>> ReadPlainArchive(std::string_view archive);

// The entries as the open read them, before the run.
std::vector<TDirItem> EntriesOf(const TZipArchiver& archiver);

// volumes: the archive's files in disk order; none when the library may have read other bytes (tests
// then go unjudged).
void CheckEntries(const TObservedArchiver& archiver, const std::vector<TDirItem>& entries,
                  const std::string& targetFolder, const std::vector<std::string_view>& volumes);

}  // namespace fuzzarchive
