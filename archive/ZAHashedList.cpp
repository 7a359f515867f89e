#include "archive/ZAHashedList.h"

#include <algorithm>

#include "archive/ZAEraseAt.h"
#include "platform/rtl/codepage.h"

namespace {

// A hash is dropped (and rebuilt larger) once the list holds this many strings per bucket.
constexpr uint64_t MaxStringsPerBucket = 5;
constexpr uint32_t MinValueBuckets = 1000;
constexpr uint32_t MinNameBuckets = 256;

bool Outgrown(const TZAStringHash& hash, size_t count)
{
    return count > MaxStringsPerBucket * hash.BucketCount();
}

uint32_t BucketsFor(size_t count, uint32_t minimum)
{
    return static_cast<uint32_t>(std::max<size_t>(count, minimum));
}

}  // namespace

// ---- TZAStringHash ----

TZAStringHash::TZAStringHash(uint32_t bucketCount) : buckets_(std::max<uint32_t>(bucketCount, 1)) {}

TZAStringHash::~TZAStringHash()
{
    ClearAll();
}

uint32_t TZAStringHash::HashKey(std::string_view key) const
{
    uint32_t h = 0;
    for (unsigned char b : key)
        h = ((h << 2) | (h >> 30)) ^ b;
    return h;
}

TZAStringHash::Link& TZAStringHash::BucketOf(std::string_view key)
{
    return buckets_[HashKey(key) % buckets_.size()];
}

const TZAStringHash::Link& TZAStringHash::BucketOf(std::string_view key) const
{
    return buckets_[HashKey(key) % buckets_.size()];
}

TZAStringHash::Link& TZAStringHash::FindSlot(std::string_view key)
{
    Link* link = &BucketOf(key);
    while (*link && (*link)->key != key)
        link = &(*link)->next;
    return *link;
}

// Replaces the node a link points at by its successor; the node is freed without recursion.
void TZAStringHash::Unlink(Link& link)
{
    Link rest = std::move(link->next);
    link = std::move(rest);
}

void TZAStringHash::AddKey(std::string_view key, int32_t value)
{
    Link& head = BucketOf(key);
    auto node = std::make_unique<THashItem>();
    node->key = std::string(key);
    node->value = value;
    node->next = std::move(head);
    head = std::move(node);
}

void TZAStringHash::RemoveKey(std::string_view key)
{
    Link& slot = FindSlot(key);
    if (slot)
        Unlink(slot);
}

void TZAStringHash::RemoveKey(std::string_view key, int32_t value)
{
    Link* link = &BucketOf(key);
    while (*link && ((*link)->key != key || (*link)->value != value))
        link = &(*link)->next;
    if (*link)
        Unlink(*link);
}

int32_t TZAStringHash::LookupValue(std::string_view key) const
{
    for (const THashItem* node = BucketOf(key).get(); node; node = node->next.get())
        if (node->key == key)
            return node->value;
    return -1;
}

std::vector<int32_t> TZAStringHash::LookupValues(std::string_view key) const
{
    std::vector<int32_t> values;
    for (const THashItem* node = BucketOf(key).get(); node; node = node->next.get())
        if (node->key == key)
            values.push_back(node->value);
    return values;
}

void TZAStringHash::ClearAll()
{
    // Node by node, so that a long chain of equal keys never recurses in the destructors.
    for (Link& head : buckets_)
        while (head)
            Unlink(head);
}

// ---- TZAHashedStringList ----

TZAHashedStringList::TZAHashedStringList() = default;
TZAHashedStringList::~TZAHashedStringList() = default;

void TZAHashedStringList::SetCaseSensitive(bool value)
{
    if (value == caseSensitive_)
        return;
    caseSensitive_ = value;
    valueHashValid_ = false;
    nameHashValid_ = false;
}

std::string TZAHashedStringList::KeyOf(std::string_view s) const
{
    return caseSensitive_ ? std::string(s) : rtl::AnsiUpperCase(s);
}

void TZAHashedStringList::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TZAHashedStringList::Strings(int index) const
{
    CheckIndex(index);
    return strings_[static_cast<size_t>(index)];
}

int TZAHashedStringList::Add(std::string s)
{
    const int index = Count();
    const std::string key = KeyOf(s);
    strings_.push_back(std::move(s));
    if (valueHash_ && valueHashValid_) {
        valueHash_->AddKey(key, index);
        if (Outgrown(*valueHash_, strings_.size())) {
            valueHash_.reset();
            valueHashValid_ = false;
        }
    }
    nameHashValid_ = false;
    return index;
}

void TZAHashedStringList::ReplaceAt(int index, std::string s)
{
    CheckIndex(index);
    std::string& slot = strings_[static_cast<size_t>(index)];
    if (valueHash_ && valueHashValid_) {
        // The node of this index, not merely the first node of an equal string.
        valueHash_->RemoveKey(KeyOf(slot), index);
        valueHash_->AddKey(KeyOf(s), index);
    }
    slot = std::move(s);
    nameHashValid_ = false;
}

void TZAHashedStringList::Delete(int index)
{
    CheckIndex(index);
    strings_.erase(strings_.begin() + index);
    valueHashValid_ = false;
    nameHashValid_ = false;
}

void TZAHashedStringList::DeleteAll(const std::vector<int>& ascending)
{
    strings_.resize(EraseAt(strings_, strings_.size(), ascending));
    valueHashValid_ = false;
    nameHashValid_ = false;
}

void TZAHashedStringList::Clear()
{
    strings_.clear();
    if (valueHash_)
        valueHash_->ClearAll();
    nameHashValid_ = false;
}

void TZAHashedStringList::RebuildValueHash() const
{
    // A table that stopped being kept up to date may have been outgrown meanwhile: size it anew.
    if (!valueHash_ || (!valueHashValid_ && Outgrown(*valueHash_, strings_.size())))
        valueHash_ = std::make_unique<TZAStringHash>(BucketsFor(strings_.size(), MinValueBuckets));
    if (valueHashValid_)
        return;
    valueHash_->ClearAll();
    for (size_t i = 0; i < strings_.size(); ++i)
        valueHash_->AddKey(KeyOf(strings_[i]), static_cast<int32_t>(i));
    valueHashValid_ = true;
}

void TZAHashedStringList::RebuildNameHash() const
{
    if (nameHashValid_)
        return;
    if (!nameHash_ || Outgrown(*nameHash_, strings_.size()))
        nameHash_ = std::make_unique<TZAStringHash>(BucketsFor(strings_.size(), MinNameBuckets));
    else
        nameHash_->ClearAll();
    for (size_t i = 0; i < strings_.size(); ++i) {
        const std::string& s = strings_[i];
        const size_t eq = s.find('=');
        if (eq != std::string::npos)
            nameHash_->AddKey(KeyOf(std::string_view(s).substr(0, eq)), static_cast<int32_t>(i));
    }
    nameHashValid_ = true;
}

int TZAHashedStringList::IndexOf(std::string_view s) const
{
    RebuildValueHash();
    return valueHash_->LookupValue(KeyOf(s));
}

std::vector<int> TZAHashedStringList::IndexesOf(std::string_view s) const
{
    RebuildValueHash();
    const std::vector<int32_t> values = valueHash_->LookupValues(KeyOf(s));
    return std::vector<int>(values.begin(), values.end());
}

int TZAHashedStringList::IndexOfName(std::string_view name) const
{
    RebuildNameHash();
    return nameHash_->LookupValue(KeyOf(name));
}
