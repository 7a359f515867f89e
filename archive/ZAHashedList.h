// Hashed string lists: a chained hash from string keys to indices, and a string list that keeps
// one such hash over its whole strings (IndexOf) and one over the names before "=" (IndexOfName).
// Both hashes are built lazily and dropped when they no longer fit; the list itself is the truth.
// The list is only appended to, replaced in place and deleted from: nothing sorts it or inserts
// into its middle, so the stored indices stay right.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"

// A bad index given to the string list ("List index out of bounds (5)").
class EStringListError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

class TZAStringHash {
public:
    explicit TZAStringHash(uint32_t bucketCount);
    virtual ~TZAStringHash();
    TZAStringHash(const TZAStringHash&) = delete;
    TZAStringHash& operator=(const TZAStringHash&) = delete;

    // h := (h rotated left by 2) xor byte, over every byte; "ABC" gives 1371.
    virtual uint32_t HashKey(std::string_view key) const;

    // Inserts at the head of the key's chain; an equal key inserted later hides the earlier one.
    void AddKey(std::string_view key, int32_t value);
    // Unlinks the first node with the key; nothing when there is none.
    void RemoveKey(std::string_view key);
    // Unlinks the node with exactly this key and value (the entry of one index among equal keys).
    void RemoveKey(std::string_view key, int32_t value);
    // The value of the first node with the key, or -1.
    int32_t LookupValue(std::string_view key) const;
    // The values of every node with the key.
    std::vector<int32_t> LookupValues(std::string_view key) const;
    // Frees every node; the bucket count stays.
    void ClearAll();

    uint32_t BucketCount() const { return static_cast<uint32_t>(buckets_.size()); }

private:
    struct THashItem {
        std::unique_ptr<THashItem> next;
        std::string key;
        int32_t value;
    };
    using Link = std::unique_ptr<THashItem>;

    Link& BucketOf(std::string_view key);
    const Link& BucketOf(std::string_view key) const;
    // The link that points at the first node with the key, or the link at the end of its chain.
    Link& FindSlot(std::string_view key);
    static void Unlink(Link& link);

    std::vector<Link> buckets_;
};

class TZAHashedStringList {
public:
    TZAHashedStringList();
    ~TZAHashedStringList();
    TZAHashedStringList(const TZAHashedStringList&) = delete;
    TZAHashedStringList& operator=(const TZAHashedStringList&) = delete;

    // Keys are the strings themselves when case-sensitive, their AnsiUpperCase otherwise (default).
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool value);

    int Count() const { return static_cast<int>(strings_.size()); }
    // The string at index; EStringListError when index is not in 0..Count()-1.
    const std::string& Strings(int index) const;
    const std::string& operator[](int index) const { return Strings(index); }

    int Add(std::string s);
    void ReplaceAt(int index, std::string s);
    void Delete(int index);
    // Deletes the strings at these indices (ascending, each below Count()) in one pass.
    void DeleteAll(const std::vector<int>& ascending);
    void Clear();

    // Index of the string (the last appended among equal ones), or -1. The hashes are caches,
    // rebuilt here when stale, so lookups count as const.
    int IndexOf(std::string_view s) const;
    // Indices of every string equal to s, in no particular order.
    std::vector<int> IndexesOf(std::string_view s) const;
    // Index of a string whose text before its first "=" equals name, or -1.
    int IndexOfName(std::string_view name) const;

    // Bucket count of the value hash, 0 while there is none (for tests and diagnostics).
    uint32_t ValueHashBucketCount() const { return valueHash_ ? valueHash_->BucketCount() : 0; }

private:
    std::string KeyOf(std::string_view s) const;
    void CheckIndex(int index) const;
    void RebuildValueHash() const;
    void RebuildNameHash() const;

    std::vector<std::string> strings_;
    bool caseSensitive_ = false;
    mutable std::unique_ptr<TZAStringHash> valueHash_;
    mutable std::unique_ptr<TZAStringHash> nameHash_;
    mutable bool valueHashValid_ = false;
    mutable bool nameHashValid_ = false;
};
