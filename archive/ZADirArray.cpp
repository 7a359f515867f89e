#include "archive/ZADirArray.h"

#include <algorithm>

#include "archive/ZAEraseAt.h"
#include "archive/ZAExcept.h"
#include "archive/ZAHashedList.h"
#include "platform/rtl/codepage.h"

std::string TDirItem::NameBytes(bool oemNames)
{
    if (!StoredName.empty())
        return StoredName;
    Flags &= static_cast<uint16_t>(~kFlagUtf8Name);
    return oemNames ? rtl::AnsiToOem(FileName) : FileName;
}

int64_t TDirItem::UncompressedSize64() const
{
    return UncompressedSize == kNo32 ? Zip64UncompressedSize : UncompressedSize;
}

int64_t TDirItem::CompressedSize64() const
{
    return CompressedSize == kNo32 ? Zip64CompressedSize : CompressedSize;
}

int64_t TDirItem::LocalHeaderOffset64() const
{
    return LocalHeaderOffset == kNo32 ? Zip64LocalHeaderOffset : LocalHeaderOffset;
}

void TDirItem::SetLocalHeaderOffset64(int64_t offset)
{
    if (LocalHeaderOffset != kNo32 && offset < static_cast<int64_t>(kNo32)) {
        LocalHeaderOffset = static_cast<uint32_t>(offset);
        return;
    }
    LocalHeaderOffset = kNo32;
    Zip64LocalHeaderOffset = offset;
    HasZip64Extra = true;
}

TZADirArray::TZADirArray() : nameList_(std::make_unique<TZAHashedStringList>()) {}

TZADirArray::~TZADirArray() = default;

std::string TZADirArray::NameKey(const std::string& name) { return rtl::AnsiLowerCase(name); }

void TZADirArray::CheckIndex(int index, int code) const
{
    if (index < 0 || index >= itemCount_)
        throw EZAException::CreateWithCode(code);
}

// Slots outside the live range hold nothing, so a slot that becomes live again never shows the
// name, extras or ZIP64 values of an earlier item.
void TZADirArray::EmptySlots(int from, int to)
{
    for (int i = from; i < to; ++i)
        items_[static_cast<size_t>(i)] = TDirItem{};
}

void TZADirArray::Resize(int n)
{
    n = std::max(n, 0);
    TrimNames(n);
    if (n == 0) {
        items_.clear();
        items_.shrink_to_fit();
        itemCount_ = 0;
        return;
    }
    if (n > Capacity()) {
        growStep_ = std::min(growStep_ * 2, MaxGrowStep);
        int64_t grown = static_cast<int64_t>(Capacity()) + growStep_;
        int64_t capacity = grown > n ? grown : n;
        items_.resize(static_cast<size_t>(capacity));
    }
    if (n < itemCount_)
        EmptySlots(n, itemCount_);
    else
        EmptySlots(itemCount_, n);
    itemCount_ = n;
}

// Names of items that are no longer live leave the name list with them.
void TZADirArray::TrimNames(int n)
{
    while (nameList_->Count() > n)
        nameList_->Delete(nameList_->Count() - 1);
}

TDirItem TZADirArray::FetchItem(int index) const
{
    CheckIndex(index, 2);
    return items_[static_cast<size_t>(index)];
}

TDirItem& TZADirArray::ItemAt(int index)
{
    CheckIndex(index, 3);
    return items_[static_cast<size_t>(index)];
}

const TDirItem& TZADirArray::ItemAt(int index) const
{
    CheckIndex(index, 3);
    return items_[static_cast<size_t>(index)];
}

void TZADirArray::StoreItem(int index, const TDirItem& item)
{
    CheckIndex(index, 1);
    int listed = nameList_->Count();
    if (listed < index)
        throw EZAException::CreateWithCode(58);
    TDirItem copy = item;  // made first: a failed copy leaves the array as it was
    if (listed > index)
        nameList_->ReplaceAt(index, NameKey(item.FileName));
    else
        nameList_->Add(NameKey(item.FileName));
    items_[static_cast<size_t>(index)] = std::move(copy);
}

// The name-list entry is found by the item's own index: entry i belongs to item i. Looking the old
// name up instead would take an earlier item of the same (or an empty) name for this one.
void TZADirArray::ListName(int index, const std::string& name)
{
    CheckIndex(index, 3);
    TDirItem& item = items_[static_cast<size_t>(index)];
    int listed = nameList_->Count();
    if (listed > index) {
        if (nameList_->Strings(index) != NameKey(item.FileName))
            throw EZAException::CreateWithCode(59);
        nameList_->ReplaceAt(index, NameKey(name));
    } else if (listed == index) {
        nameList_->Add(NameKey(name));
    } else {
        throw EZAException::CreateWithCode(59);
    }
    item.FileName = name;
}

void TZADirArray::RenameItem(int index, const std::string& name)
{
    ListName(index, name);
    TDirItem& item = items_[static_cast<size_t>(index)];
    item.StoredName.clear();
    item.NameLossy = false;
    item.NameInUtf8 = false;
}

void TZADirArray::ShowItemAs(int index, const std::string& name)
{
    ListName(index, name);
}

void TZADirArray::RemoveItem(int index)
{
    CheckIndex(index, 4);
    if (index < nameList_->Count())
        nameList_->Delete(index);
    auto at = items_.begin() + index;
    std::move(at + 1, items_.begin() + itemCount_, at);
    items_[static_cast<size_t>(itemCount_ - 1)] = TDirItem{};
    Resize(itemCount_ - 1);
}

void TZADirArray::RemoveItems(const std::vector<int>& ascending)
{
    for (int index : ascending)
        CheckIndex(index, 4);
    if (ascending.empty())
        return;
    const int listed = nameList_->Count();
    const auto listedEnd = std::lower_bound(ascending.begin(), ascending.end(), listed);
    nameList_->DeleteAll(std::vector<int>(ascending.begin(), listedEnd));
    Resize(static_cast<int>(EraseAt(items_, static_cast<size_t>(itemCount_), ascending)));
}

void TZADirArray::Clear()
{
    EmptySlots(0, itemCount_);
    itemCount_ = 0;
    nameList_->Clear();
}

void TZADirArray::CopyFrom(const TZADirArray& other)
{
    if (&other == this)
        return;
    Clear();
    Resize(other.Count());
    for (int i = 0; i < other.Count(); ++i)
        StoreItem(i, other.items_[static_cast<size_t>(i)]);
}

void TZADirArray::ClearMarks()
{
    for (int i = 0; i < itemCount_; ++i)
        items_[static_cast<size_t>(i)].MarkedForProcessing = 0;
}

int TZADirArray::IndexOfName(const std::string& name) const
{
    int exact = -1, other = -1;
    for (int i : nameList_->IndexesOf(NameKey(name))) {
        int& best = items_[static_cast<size_t>(i)].FileName == name ? exact : other;
        best = std::max(best, i);
    }
    return exact >= 0 ? exact : other;
}

std::vector<int> TZADirArray::IndexesNamed(const std::string& name) const
{
    std::vector<int> named;
    for (int i : nameList_->IndexesOf(NameKey(name)))
        if (items_[static_cast<size_t>(i)].FileName == name)
            named.push_back(i);
    std::sort(named.begin(), named.end());
    return named;
}
