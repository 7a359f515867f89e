// The in-memory directory of an archive: one TDirItem per entry, in central-directory order, with a
// hashed list of the entries' lower-cased names beside it.
//
// Ownership: items hold their strings and extra blocks by value, so a copy returned by FetchItem is
// independent of the array and stays valid whatever the array does afterwards.
// Indexes are zero-based; every failure raises EZAException with the native code named below and no
// component prefix, and leaves the array and its name list unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ZARecords.h"

namespace rtl {
class TStream;
}
class TZAHashedStringList;

// One extra-field block: tag, data size and its Size bytes of data.
struct TDirItemExtra {
    uint16_t Tag = 0;
    uint16_t Size = 0;
    std::vector<uint8_t> Data;  // always Size bytes
};

// One entry: the 46-byte central header image (TCentralHeader's fields, exactly as stored) followed
// by the entry's name, comment, extra blocks, ZIP64 values and the working fields of the processing
// and update paths.
struct TDirItem : TCentralHeader {
    std::string FileName;  // after the OEM conversion; '/' separates folders
    // The name bytes as the archive stores them; written back unchanged while the entry keeps its
    // name (renaming or filling the entry anew clears them, and the name is then encoded afresh).
    std::string StoredName;
    bool NameLossy = false;  // the system's code page could not hold every character of the name
    bool NameInUtf8 = false;  // the stored name was read as UTF-8, flagged or not
    std::string Comment;
    std::vector<TDirItemExtra> ExtraFields;  // in stored order, tag 1 included
    bool HasZip64Extra = false;
    int64_t Zip64UncompressedSize = 0;
    int64_t Zip64CompressedSize = 0;
    int64_t Zip64LocalHeaderOffset = 0;
    uint32_t Zip64DiskNumberStart = 0;
    std::string Password;
    // Supplies a new entry's data instead of a disk file. Nothing in the library attaches one; the
    // shared pointer frees an owned stream with the last item that refers to it.
    std::shared_ptr<rtl::TStream> SourceStream;
    bool OwnsSourceStream = false;
    int32_t SourceStreamStart = 0;
    uint8_t MarkedForProcessing = 0;
    std::string SourceFileName;
    uint8_t CompressionMode = 0;
    uint8_t PendingOperation = 0;
    bool Modified = false;          // changed in the current batch of updates
    std::string PreviousFileName;   // a renamed entry's name in the archive file
    int32_t StoredIndex = -1;       // its place in the stored directory of a batch; -1 for a new entry
    // Sizes lost or damaged (rebuilt so, or all ones in the directory with no ZIP64 value): no
    // check can pass, and the entry is never copied.
    bool SizesUnknown = false;
    // Rebuilt with CRC and sizes from a data descriptor found by its signature: not yet checked
    // against the data.
    bool SizesFromDescriptor = false;
    // The compressed size reaches into the directory of a single-volume archive: the data are read
    // up to the directory's start only, and the record is never written back.
    bool SizeCut = false;

    // The 64-bit values, whichever of the 32-bit field or the ZIP64 value holds them.
    int64_t UncompressedSize64() const;
    int64_t CompressedSize64() const;
    int64_t LocalHeaderOffset64() const;
    // Stores a local header offset: in the 32-bit field when it fits and the field is not already
    // all ones, else in Zip64LocalHeaderOffset with the field set to all ones.
    void SetLocalHeaderOffset64(int64_t offset);
    bool IsDirectory() const { return (ExternalAttributes & kAttrDirectory) != 0; }
    // The name as written to the archive, with the UTF-8 flag to match: the stored bytes while the
    // entry keeps its name; a name given anew is FileName in the OEM code page (with oemNames) or as
    // it is, never flagged as UTF-8.
    std::string NameBytes(bool oemNames);
};

class TZADirArray {
public:
    static constexpr int InitialGrowStep = 500;
    static constexpr int MaxGrowStep = 10000;

    TZADirArray();
    ~TZADirArray();
    TZADirArray(const TZADirArray&) = delete;
    TZADirArray& operator=(const TZADirArray&) = delete;

    int Count() const { return itemCount_; }
    int Capacity() const { return static_cast<int>(items_.size()); }
    int GrowStep() const { return growStep_; }

    // Sets the live count to n (n >= 0), growing the storage geometrically (1000, 3000, 7000, 15000,
    // 25000, 35000 ... while single items are added; a larger request is met exactly). Slots that
    // become live start empty; names of items dropped leave the name list; n = 0 releases the storage.
    void Resize(int n);

    TDirItem FetchItem(int index) const;            // code 2
    TDirItem& ItemAt(int index);                    // code 3; valid until Resize/Remove/CopyFrom/Clear
    const TDirItem& ItemAt(int index) const;        // code 3
    void StoreItem(int index, const TDirItem& item);  // code 1; code 58 when the name list is behind
    // Sets the item's FileName and its name-list entry (dropping its stored name bytes); code 59
    // when the name list is out of step.
    void RenameItem(int index, const std::string& name);
    // Sets the name the item is listed under, keeping the name bytes it is stored with; code 59 as
    // RenameItem.
    void ShowItemAs(int index, const std::string& name);
    void RemoveItem(int index);                     // code 4
    // Removes the items at these indexes (ascending, no repeats) in one pass; code 4 for a bad one,
    // and then nothing is removed.
    void RemoveItems(const std::vector<int>& ascending);
    void Clear();                                   // live items emptied, Capacity stays
    void CopyFrom(const TZADirArray& other);        // deep copy
    void ClearMarks();                              // MarkedForProcessing := 0 on live items

    // Index of the entry named name: one named exactly so, else one whose name differs only in
    // letter case (the last of several), else -1.
    int IndexOfName(const std::string& name) const;
    // Indexes of every entry named exactly name, ascending.
    std::vector<int> IndexesNamed(const std::string& name) const;
    // The entries' lower-cased names, entry i for item i.
    TZAHashedStringList& NameList() { return *nameList_; }
    const TZAHashedStringList& NameList() const { return *nameList_; }

    // The lower-cased form the name list holds for a name.
    static std::string NameKey(const std::string& name);

private:
    void CheckIndex(int index, int code) const;
    void ListName(int index, const std::string& name);
    void EmptySlots(int from, int to);
    void TrimNames(int n);

    std::vector<TDirItem> items_;  // Capacity() slots, the first itemCount_ live
    std::unique_ptr<TZAHashedStringList> nameList_;
    int growStep_ = InitialGrowStep;
    int itemCount_ = 0;
};
