// Builds small ZIP archives byte by byte, so that tests can make any entry they need: hostile
// names, wrong sizes and CRCs, foreign methods, encryption with a known password.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ziptest {

struct TEntry {
    std::string Name;              // stored name (cp1251 bytes as the archive holds them)
    std::string Data;              // the plain bytes
    uint16_t Method = 8;           // 0 stores, 8 deflates; any other number stores Data as given
    std::string Password;          // non-empty: traditional encryption
    bool DescriptorFlag = false;   // flag bit 3 (the check byte comes from the time)
    uint16_t ModTime = 0x6000;     // 12:00:00
    uint16_t ModDate = 0x5A21;     // 2025-01-01
    uint32_t ExternalAttributes = 0x20;
    uint16_t VersionNeeded = 20;
    uint16_t VersionMadeBy = 20;   // the high byte names the host (3: Unix)
    std::optional<uint32_t> Crc;            // overrides the real CRC-32 in the central header
    std::optional<uint32_t> UncompressedSize;
    std::optional<uint32_t> CompressedSize;
    std::optional<std::string> RawData;     // replaces the stored (compressed) bytes
    bool BreakLocalSignature = false;

    TEntry(std::string name, std::string data) : Name(std::move(name)), Data(std::move(data)) {}
    TEntry& method(uint16_t v) { Method = v; return *this; }
    TEntry& password(std::string v) { Password = std::move(v); return *this; }
    TEntry& descriptor() { DescriptorFlag = true; return *this; }
    TEntry& time(uint16_t v) { ModTime = v; return *this; }
    TEntry& date(uint16_t v) { ModDate = v; return *this; }
    TEntry& attr(uint32_t v) { ExternalAttributes = v; return *this; }
    TEntry& version(uint16_t v) { VersionNeeded = v; return *this; }
    TEntry& madeBy(uint16_t v) { VersionMadeBy = v; return *this; }
    TEntry& crc(uint32_t v) { Crc = v; return *this; }
    TEntry& usize(uint32_t v) { UncompressedSize = v; return *this; }
    TEntry& csize(uint32_t v) { CompressedSize = v; return *this; }
    TEntry& raw(std::string v) { RawData = std::move(v); return *this; }
    TEntry& badSignature() { BreakLocalSignature = true; return *this; }
};

// Raw deflate of data at the given level.
std::string Deflate(const std::string& data, int level = 6);
uint32_t Crc32Of(const std::string& data);
// The whole archive.
std::string BuildZip(const std::vector<TEntry>& entries);

}  // namespace ziptest
