// The registry store read from a damaged or hostile file: every value read before a write is read
// the same after it (a write never loses what the reader could see).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "fuzz_util.h"
#include "platform/rtl/registry.h"

namespace {

constexpr size_t kMaxKeys = 200;  // a walk reads the file at every call
constexpr const char* kProbeKey = "FuzzProbe\\Written";

struct TValue {
    bool IsString;
    std::string Text;
    int Number;
    bool operator==(const TValue&) const = default;
};

using TSnapshot = std::map<std::string, TValue>;  // "<root>|<key>|<name>" in lower case

std::string LowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

void ReadValues(rtl::TRegistry& registry, const std::string& prefix, TSnapshot& into)
{
    for (const std::string& name : registry.GetValueNames()) {
        TValue value{true, {}, 0};
        try {
            value.Text = registry.ReadString(name);
        } catch (const rtl::ERegistryException&) {
            value.IsString = false;
            value.Number = registry.ReadInteger(name);
        }
        into.emplace(LowerAscii(prefix + "|" + name), value);
    }
}

void Walk(rtl::HKEY root, const std::string& key, TSnapshot& into, size_t& keys)
{
    if (++keys > kMaxKeys)
        return;
    rtl::TRegistry registry;
    registry.RootKey = root;
    if (!registry.OpenKeyReadOnly("\\" + key))
        return;
    ReadValues(registry, std::to_string(root) + "|" + key, into);
    for (const std::string& sub : registry.GetKeyNames())
        Walk(root, key.empty() ? sub : key + "\\" + sub, into, keys);
}

// False when the store held more keys than a walk visits.
bool Snapshot(TSnapshot& values)
{
    size_t keys = 0;
    for (rtl::HKEY root : {rtl::HKEY_CLASSES_ROOT, rtl::HKEY_CURRENT_USER, rtl::HKEY_LOCAL_MACHINE,
                           rtl::HKEY_USERS, rtl::HKEY_CURRENT_CONFIG})
        Walk(root, "", values, keys);
    return keys <= kMaxKeys;
}

// Emptied before every input: a write to a damaged store keeps a copy beside it.
const std::string& StoreFolder()
{
    static const std::string folder = [] {
        const std::string path = fuzzutil::ScratchFolder() + "store/";
        setenv("TOME_REGISTRY", (path + "registry").c_str(), 1);
        return path;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzutil::ResetFolder(StoreFolder());
    fuzzutil::WriteBytes(StoreFolder() + "registry", fuzzutil::AsText(data, size));
    TSnapshot before;
    if (!Snapshot(before))
        return 0;
    {
        rtl::TRegistry registry;
        registry.RootKey = rtl::HKEY_CURRENT_USER;
        if (!registry.OpenKey(kProbeKey, true))
            return 0;
        registry.WriteString("probe", "written");  // a store that could be read takes a write
    }
    TSnapshot after;
    if (!Snapshot(after))
        return 0;
    const std::string probe = LowerAscii(std::to_string(rtl::HKEY_CURRENT_USER) + "|" + kProbeKey + "|probe");
    before.erase(probe);
    after.erase(probe);
    for (const auto& [name, value] : before) {
        const auto found = after.find(name);
        fuzzutil::Check(found != after.end(), "a value read before a write is still there after it");
        fuzzutil::Check(found->second == value, "a value read before a write reads the same after it");
    }
    return 0;
}
