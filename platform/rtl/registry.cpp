#include "platform/rtl/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

#include "platform/rtl/codepage.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/tempfiles.h"
#include "platform/rtl/userfolders.h"

namespace rtl {

namespace {

struct Value {
    std::string name;  // as first written
    bool isInteger = false;
    std::string text;
    int32_t number = 0;
};

struct Key {
    std::string path;                     // as first written, "\"-separated, no outer "\"
    std::map<std::string, Value> values;  // by lower-cased name
};

// Keys of every root, by root tag + "\" + lower-cased path. The roots themselves always exist.
using Store = std::map<std::string, Key>;

std::string RootTag(HKEY root) {
    switch (root) {
        case HKEY_CLASSES_ROOT: return "HKCR";
        case HKEY_CURRENT_USER: return "HKCU";
        case HKEY_LOCAL_MACHINE: return "HKLM";
        case HKEY_USERS: return "HKU";
        case HKEY_CURRENT_CONFIG: return "HKCC";
        default: return {};
    }
}

bool IsRootTag(std::string_view tag) {
    return tag == "HKCR" || tag == "HKCU" || tag == "HKLM" || tag == "HKU" || tag == "HKCC";
}

std::string StoreId(std::string_view tag, std::string_view path) {
    return std::string(tag) + "\\" + AnsiLowerCase(path);
}

// "\Software\\X\" -> "Software\X".
std::string NormalizeKeyPath(std::string_view path) {
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) {
            if (!out.empty()) out += '\\';
            out += path.substr(start, end - start);
        }
        start = end + 1;
    }
    return out;
}

// Adds the key and every key above it.
Key& AddKey(Store& store, std::string_view tag, const std::string& path) {
    size_t cut = path.rfind('\\');
    if (cut != std::string::npos) AddKey(store, tag, path.substr(0, cut));
    Key& key = store[StoreId(tag, path)];
    if (key.path.empty()) key.path = path;
    return key;
}

// ---- the file format ----

bool IsPlainByte(unsigned char c) { return c > 0x20 && c < 0x7F && c != '%'; }

std::string Encode(std::string_view bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (IsPlainByte(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Decode(std::string_view field, std::string& out) {
    out.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        if (i + 2 >= field.size()) return false;
        int high = HexDigit(field[i + 1]);
        int low = HexDigit(field[i + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

bool ParseInt32(std::string_view s, int32_t& value) {
    size_t i = s.size() > 0 && s[0] == '-' ? 1 : 0;
    if (i == s.size() || s.size() > 11) return false;
    int64_t v = 0;
    for (size_t j = i; j < s.size(); ++j) {
        if (s[j] < '0' || s[j] > '9') return false;
        v = v * 10 + (s[j] - '0');
    }
    if (i == 1) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        size_t end = line.find(' ', start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

// One record into the store; false (and nothing changed) for a line that does not parse.
bool ParseLine(std::string_view line, Store& store) {
    std::vector<std::string_view> f = SplitFields(line);
    bool isKey = f[0] == "K" && f.size() == 3;
    bool isValue = (f[0] == "S" || f[0] == "I") && f.size() == 5;
    if ((!isKey && !isValue) || !IsRootTag(f[1])) return false;
    std::string path;
    if (!Decode(f[2], path)) return false;
    path = NormalizeKeyPath(path);
    if (isKey) {
        AddKey(store, f[1], path);
        return true;
    }
    Value value;
    if (!Decode(f[3], value.name)) return false;
    if (f[0] == "I") {
        value.isInteger = true;
        if (!ParseInt32(f[4], value.number)) return false;
    } else if (!Decode(f[4], value.text)) {
        return false;
    }
    AddKey(store, f[1], path).values[AnsiLowerCase(value.name)] = std::move(value);
    return true;
}

const char* const kHeader = "TOMEREG 1";

// damaged, when given, is set when a line neither parses nor is the header.
Store ParseStore(std::string_view text, bool* damaged = nullptr) {
    Store store;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // A damaged line is passed over.
        if (!line.empty() && !ParseLine(line, store) && line != kHeader && damaged) *damaged = true;
    }
    return store;
}

std::string SerializeStore(const Store& store) {
    std::string out = std::string(kHeader) + "\n";
    for (const auto& [id, key] : store) {
        std::string tag = id.substr(0, id.find('\\'));
        std::string path = Encode(key.path);
        out += "K " + tag + " " + path + "\n";
        for (const auto& [lower, value] : key.values) {
            out += value.isInteger ? "I " : "S ";
            out += tag + " " + path + " " + Encode(value.name) + " ";
            out += value.isInteger ? std::to_string(value.number) : Encode(value.text);
            out += "\n";
        }
    }
    return out;
}

// ---- the file ----

bool ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    int fd = sys::Open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            return n == 0;
        }
        out.append(buf, static_cast<size_t>(n));
    }
}

Store LoadStore() {
    std::string text;
    ReadWholeFile(RegistryFileName(), text);  // an unreadable store reads as empty
    return ParseStore(text);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A synced copy of bytes in a new temporary file beside path, named after its writer and held by
// live (platform/rtl/tempfiles.h) until it has taken its place; "" when it cannot be made.
std::string WriteTemporary(const std::string& path, const std::string& bytes, std::unique_ptr<TLiveTemp>& live) {
    std::string tmp;
    const int fd = CreateWriterTempBeside(path, O_WRONLY, 0600, tmp, live);
    if (fd < 0) return {};
    bool ok = WriteAll(fd, bytes) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) return tmp;
    sys::Unlink(tmp.c_str());
    live.reset();
    return {};
}

bool ReplaceFile(const std::string& path, const std::string& bytes) {
    std::unique_ptr<TLiveTemp> live;
    std::string tmp = WriteTemporary(path, bytes, live);
    if (tmp.empty()) return false;
    if (sys::Rename(tmp.c_str(), path.c_str()) == 0) return true;
    sys::Unlink(tmp.c_str());
    return false;
}

// Puts a file under the first free name of "<store>.damaged", ".damaged.1", ".damaged.2", ...:
// place(name) makes it and fails with EEXIST where the name is taken, never replacing a file.
bool PlaceUnderFreeName(const std::string& path, const std::function<int(const char*)>& place, std::string& name) {
    for (int n = 0; n < 1000; ++n) {
        name = path + ".damaged" + (n > 0 ? "." + std::to_string(n) : "");
        if (place(name.c_str()) == 0) return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

// Keeps the damaged store at path beside it, as a hard link to the very file or, where the file
// system refuses links, as a copy of its bytes, and says so on stderr.
bool KeepDamagedStore(const std::string& path, const std::string& bytes) {
    std::string name;
    bool kept = PlaceUnderFreeName(path, [&](const char* to) { return sys::Link(path.c_str(), to); }, name);
    if (!kept) {
        std::unique_ptr<TLiveTemp> live;
        std::string copy = WriteTemporary(path, bytes, live);
        kept = !copy.empty() &&
               PlaceUnderFreeName(path, [&](const char* to) { return sys::RenameNoReplace(copy.c_str(), to); }, name);
        if (!kept && !copy.empty()) sys::Unlink(copy.c_str());
    }
    if (kept)
        std::fprintf(stderr, "%s: the settings store %s was damaged; it is kept as %s\n", program_invocation_short_name,
                     path.c_str(), name.c_str());
    return kept;
}

// Holds the exclusive lock beside the store for one change.
class StoreLock {
public:
    explicit StoreLock(const std::string& storePath) {
        fd_ = sys::Open((storePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) return;
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~StoreLock() {
        if (fd_ >= 0) close(fd_);  // releases the lock
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Re-reads the store under the lock, applies change and writes the result. change returns false
// when there is nothing to change, and the call then fails without writing.
bool ModifyStore(const std::function<bool(Store&)>& change) {
    std::string path = RegistryFileName();
    size_t cut = path.rfind('/');
    if (cut != std::string::npos && !MakeFolders(path.substr(0, cut))) return false;
    StoreLock lock(path);
    if (!lock.Held()) return false;
    std::string text;
    if (!ReadWholeFile(path, text)) return false;  // never overwrite what could not be read
    bool damaged = false;
    Store store = ParseStore(text, &damaged);
    if (!change(store)) return false;
    // The rewrite drops what does not parse: the damaged file is kept first, or not replaced.
    if (damaged && !KeepDamagedStore(path, text)) return false;
    return ReplaceFile(path, SerializeStore(store));
}

const Key* FindKey(const Store& store, HKEY root, const std::string& path) {
    auto it = store.find(StoreId(RootTag(root), path));
    return it == store.end() ? nullptr : &it->second;
}

bool KeyInStore(const Store& store, HKEY root, const std::string& path) {
    return !RootTag(root).empty() && (path.empty() || FindKey(store, root, path));
}

const Value* FindValue(HKEY root, const std::string& path, std::string_view name) {
    static thread_local Store store;
    store = LoadStore();
    const Key* key = FindKey(store, root, path);
    if (!key) return nullptr;
    auto it = key->values.find(AnsiLowerCase(name));
    return it == key->values.end() ? nullptr : &it->second;
}

std::string Quoted(std::string_view name) { return "'" + std::string(name) + "'"; }

}  // namespace

std::string RegistryFileName() {
    if (const char* env = getenv("TOME_REGISTRY"); env && *env) return env;
    return UserBaseFolder("XDG_CONFIG_HOME", ".config") + "/tome/registry";
}

int RemoveRegistryLeftovers() { return RemoveWriterTemps(RegistryFileName()); }

bool NamesSubkey(std::string_view name) { return !NormalizeKeyPath(name).empty(); }

bool TRegistry::KeyIsOpen() const { return keyOpen_ && openRoot_ == RootKey; }

std::string TRegistry::Resolve(std::string_view key) const {
    if ((!key.empty() && key[0] == '\\') || !KeyIsOpen()) return NormalizeKeyPath(key);
    return NormalizeKeyPath(currentPath_ + "\\" + std::string(key));
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
    std::string path = Resolve(key);
    if (!KeyInStore(LoadStore(), RootKey, path) && !(canCreate && CreateKey("\\" + path))) return false;
    CloseKey();
    keyOpen_ = true;
    openRoot_ = RootKey;
    currentPath_ = path;
    readOnly_ = false;
    return true;
}

bool TRegistry::OpenKeyReadOnly(std::string_view key) {
    std::string path = Resolve(key);
    if (!KeyInStore(LoadStore(), RootKey, path)) return false;
    CloseKey();
    keyOpen_ = true;
    openRoot_ = RootKey;
    currentPath_ = path;
    readOnly_ = true;
    return true;
}

void TRegistry::CloseKey() {
    keyOpen_ = false;
    readOnly_ = false;
    currentPath_.clear();
}

bool TRegistry::KeyExists(std::string_view key) { return KeyInStore(LoadStore(), RootKey, Resolve(key)); }

bool TRegistry::CreateKey(std::string_view key) {
    std::string tag = RootTag(RootKey);
    std::string path = Resolve(key);
    if (tag.empty()) return false;
    if (path.empty()) return true;
    return ModifyStore([&](Store& store) {
        AddKey(store, tag, path);
        return true;
    });
}

bool TRegistry::DeleteKey(std::string_view key) {
    std::string tag = RootTag(RootKey);
    std::string path = Resolve(key);
    if (tag.empty() || path.empty()) return false;
    std::string id = StoreId(tag, path);
    return ModifyStore([&](Store& store) {
        bool found = false;
        for (auto it = store.begin(); it != store.end();) {
            bool below = it->first == id || it->first.compare(0, id.size() + 1, id + "\\") == 0;
            if (below) {
                it = store.erase(it);
                found = true;
            } else {
                ++it;
            }
        }
        return found;
    });
}

std::vector<std::string> TRegistry::GetKeyNames() {
    std::vector<std::string> names;
    std::string tag = RootTag(RootKey);
    std::string base = KeyIsOpen() ? currentPath_ : std::string();
    std::string prefix = StoreId(tag, base) + (base.empty() ? "" : "\\");
    for (const auto& [id, key] : LoadStore()) {
        if (id.size() <= prefix.size() || id.compare(0, prefix.size(), prefix) != 0) continue;
        if (id.find('\\', prefix.size()) != std::string::npos) continue;  // deeper down
        names.push_back(key.path.substr(key.path.rfind('\\') == std::string::npos ? 0 : key.path.rfind('\\') + 1));
    }
    return names;
}

std::vector<std::string> TRegistry::GetValueNames() {
    std::vector<std::string> names;
    Store store = LoadStore();
    if (const Key* key = FindKey(store, RootKey, KeyIsOpen() ? currentPath_ : std::string())) {
        for (const auto& [lower, value] : key->values) names.push_back(value.name);
    }
    return names;
}

bool TRegistry::ValueExists(std::string_view name) {
    return FindValue(RootKey, KeyIsOpen() ? currentPath_ : std::string(), name) != nullptr;
}

std::string TRegistry::ReadString(std::string_view name) {
    const Value* value = FindValue(RootKey, KeyIsOpen() ? currentPath_ : std::string(), name);
    if (!value) return {};
    if (value->isInteger) throw ERegistryException("Invalid data type for " + Quoted(name));
    return value->text;
}

int TRegistry::ReadInteger(std::string_view name) {
    const Value* value = FindValue(RootKey, KeyIsOpen() ? currentPath_ : std::string(), name);
    if (!value) throw ERegistryException("Failed to get data for " + Quoted(name));
    if (!value->isInteger) throw ERegistryException("Invalid data type for " + Quoted(name));
    return value->number;
}

bool TRegistry::ReadBool(std::string_view name) { return ReadInteger(name) != 0; }

namespace {

void WriteValue(HKEY root, const std::string& path, bool readOnly, Value value) {
    std::string tag = RootTag(root);
    std::string name = value.name;
    bool ok = !readOnly && !tag.empty() && ModifyStore([&](Store& store) {
        AddKey(store, tag, path).values[AnsiLowerCase(name)] = value;
        return true;
    });
    if (!ok) throw ERegistryException("Failed to set data for " + Quoted(name));
}

}  // namespace

void TRegistry::WriteString(std::string_view name, std::string_view text) {
    Value value;
    value.name = std::string(name);
    value.text = std::string(text);
    WriteValue(RootKey, KeyIsOpen() ? currentPath_ : std::string(), KeyIsOpen() && readOnly_, std::move(value));
}

void TRegistry::WriteInteger(std::string_view name, int number) {
    Value value;
    value.name = std::string(name);
    value.isInteger = true;
    value.number = number;
    WriteValue(RootKey, KeyIsOpen() ? currentPath_ : std::string(), KeyIsOpen() && readOnly_, std::move(value));
}

void TRegistry::WriteBool(std::string_view name, bool value) { WriteInteger(name, value ? 1 : 0); }

bool TRegistry::DeleteValue(std::string_view name) {
    std::string tag = RootTag(RootKey);
    std::string path = KeyIsOpen() ? currentPath_ : std::string();
    if (tag.empty() || (KeyIsOpen() && readOnly_)) return false;
    return ModifyStore([&](Store& store) {
        auto it = store.find(StoreId(tag, path));
        return it != store.end() && it->second.values.erase(AnsiLowerCase(name)) > 0;
    });
}

}  // namespace rtl
