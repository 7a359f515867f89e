// The registry: a store of our own in one text file per user, shared by the viewer and the launcher.
//
// Location: the file named by the environment variable TOME_REGISTRY, else
// $XDG_CONFIG_HOME/tome/registry, else ~/.config/tome/registry.
//
// Format (UTF-8-safe ASCII, one record a line, fields separated by one space):
//   TOMEREG 1                                   header
//   K <root> <key>                              a key
//   S <root> <key> <name> <text>                a string value
//   I <root> <key> <name> <decimal int32>       an integer value
// <root> is HKCR, HKCU, HKLM, HKU or HKCC. Keys, names and texts are cp1251 bytes percent-encoded:
// every byte outside "!".."~", and "%" itself, is written as %XX, so fields never hold a space or a
// line break. Key paths are stored without leading or trailing "\" and with "\\" collapsed. A line that
// does not parse is skipped, so a damaged file never stops a reader.
//
// Key paths and value names are compared without regard to case (full cp1251 table). Every write
// takes an exclusive flock on "<file>.lock", reads the file afresh, applies the change and replaces
// the file atomically (temporary file, fsync, rename), so concurrent writers lose nothing. The
// temporary carries its writer (".<file>.<pid>.<n>.tmp", platform/rtl/tempfiles.h). Readers
// read the file as it is at each call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace rtl {

using HKEY = uint32_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// Native path of the store file as chosen above.
std::string RegistryFileName();

// Removes the temporaries that writers of the store left beside it when they were killed, and only
// those (rtl::RemoveWriterTemps); how many went. Never fails.
int RemoveRegistryLeftovers();

// True when name, appended to a parent key, names a key below it: it holds more than "\"
// separators. An empty product name would otherwise put its values on the parent itself.
bool NamesSubkey(std::string_view name);

class TRegistry {
public:
    TRegistry() = default;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Assigning another root closes the open key (it is no longer used).
    HKEY RootKey = HKEY_CURRENT_USER;

    // A key beginning with "\" is taken from the root, any other from the open key (or the root when
    // none is open). False when the key is missing and not created, or could not be created.
    bool OpenKey(std::string_view key, bool canCreate);
    bool OpenKeyReadOnly(std::string_view key);
    void CloseKey();
    // The open key as a path from the root, without a leading "\"; "" for the root.
    const std::string& CurrentPath() const { return currentPath_; }

    bool KeyExists(std::string_view key);
    bool CreateKey(std::string_view key);
    bool DeleteKey(std::string_view key);  // with its sub-keys and values
    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();

    bool ValueExists(std::string_view name);
    // "" when the value is missing; ERegistryException when it is an integer.
    std::string ReadString(std::string_view name);
    // ERegistryException when the value is missing or a string.
    int ReadInteger(std::string_view name);
    bool ReadBool(std::string_view name);
    // ERegistryException when the key was opened read-only or the store cannot be written.
    void WriteString(std::string_view name, std::string_view value);
    void WriteInteger(std::string_view name, int value);
    void WriteBool(std::string_view name, bool value);
    bool DeleteValue(std::string_view name);

private:
    bool KeyIsOpen() const;
    std::string Resolve(std::string_view key) const;

    HKEY openRoot_ = HKEY_CURRENT_USER;
    std::string currentPath_;
    bool keyOpen_ = false;
    bool readOnly_ = false;
};

}  // namespace rtl
