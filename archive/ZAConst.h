// Constant data of the archive library: the error message table, the map from native error codes
// to message indices, and the texts of the default prompts.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// Messages of EZAException, by message index. Slots 35..40 are empty.
inline constexpr int ZAErrorMessageCount = 41;
extern const std::array<std::string_view, ZAErrorMessageCount> ErrorMessageTable;

// One native error code and the message index it shows.
struct TZANativeErrorPair {
    int32_t NativeCode;
    int32_t MessageIndex;
};

// Native codes 0..60 in order. Code 60 maps to -1, which names no message.
inline constexpr int ZANativeErrorCount = 61;
extern const std::array<TZANativeErrorPair, ZANativeErrorCount> NativeErrorMap;

// Texts of the default prompts, by their resource identifier.
inline constexpr int SZAOverwriteFile = 65126;       // "Overwrite file "%s" with "%s""
inline constexpr int SZAPasswordFor = 65127;         // "Password for "%s""
inline constexpr int SZAEnterPassword = 65128;       // "Enter password: "
inline constexpr int SZAInsertBlankDisk = 65129;     // "Please insert a blank disk #%d"
inline constexpr int SZAInsertFirstDisk = 65130;     // "Please insert the first disk"
inline constexpr int SZAInsertLastDisk = 65131;      // "Please insert the last disk"
inline constexpr int SZAInsertDisk = 65132;          // "Please insert disk #%d"
inline constexpr int SZADiskFull = 65133;            // "Disk is full. Required free space: %d bytes, ..."
inline constexpr int SZAProcessingError = 65134;     // "%s. File processing error, possibly disk is full"
inline constexpr int SZAFileNotOnLastDisk = 65135;   // "File '%s' not found on inserted disk. ..."

// The text of a prompt resource string; empty for an unknown identifier.
std::string_view LoadZAResString(int id);
