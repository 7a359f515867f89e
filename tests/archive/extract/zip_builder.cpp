#include "tests/archive/extract/zip_builder.h"

#include <zlib.h>

#include <stdexcept>

#include "archive/ZACrypt.h"

namespace ziptest {
namespace {

void Put16(std::string& out, uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& out, uint32_t v)
{
    Put16(out, static_cast<uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

std::string Encrypt(const TEntry& e, uint32_t crc, const std::string& data)
{
    CipherKeys keys;
    CipherInitKeys(keys, e.Password);
    std::string header(12, '\x5A');
    header[11] = static_cast<char>(e.DescriptorFlag ? (e.ModTime >> 8) : (crc >> 24));
    std::string out = header + data;
    CipherEncryptRange(keys, reinterpret_cast<uint8_t*>(out.data()), 0, static_cast<int64_t>(out.size()));
    return out;
}

}  // namespace

std::string Deflate(const std::string& data, int level)
{
    z_stream s{};
    if (deflateInit2(&s, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&s, data.size()) + 16, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    if (deflate(&s, Z_FINISH) != Z_STREAM_END)
        throw std::runtime_error("deflate");
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

uint32_t Crc32Of(const std::string& data)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string BuildZip(const std::vector<TEntry>& entries)
{
    std::string out, central;
    for (const TEntry& e : entries) {
        const uint32_t realCrc = Crc32Of(e.Data);
        std::string stored = e.RawData ? *e.RawData : (e.Method == 8 ? Deflate(e.Data) : e.Data);
        uint16_t flags = e.DescriptorFlag ? 0x08 : 0;
        if (!e.Password.empty()) {
            stored = Encrypt(e, realCrc, stored);
            flags |= 1;
        }
        const uint32_t crc = e.Crc.value_or(realCrc);
        const uint32_t csize = e.CompressedSize.value_or(static_cast<uint32_t>(stored.size()));
        const uint32_t usize = e.UncompressedSize.value_or(static_cast<uint32_t>(e.Data.size()));
        const auto offset = static_cast<uint32_t>(out.size());

        Put32(out, e.BreakLocalSignature ? 0x04034B51 : 0x04034B50);
        Put16(out, e.VersionNeeded);
        Put16(out, flags);
        Put16(out, e.Method);
        Put16(out, e.ModTime);
        Put16(out, e.ModDate);
        Put32(out, realCrc);
        Put32(out, static_cast<uint32_t>(stored.size()));
        Put32(out, static_cast<uint32_t>(e.Data.size()));
        Put16(out, static_cast<uint16_t>(e.Name.size()));
        Put16(out, 0);
        out += e.Name;
        out += stored;

        Put32(central, 0x02014B50);
        Put16(central, e.VersionMadeBy);
        Put16(central, e.VersionNeeded);
        Put16(central, flags);
        Put16(central, e.Method);
        Put16(central, e.ModTime);
        Put16(central, e.ModDate);
        Put32(central, crc);
        Put32(central, csize);
        Put32(central, usize);
        Put16(central, static_cast<uint16_t>(e.Name.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, e.ExternalAttributes);
        Put32(central, offset);
        central += e.Name;
    }
    const auto dirOffset = static_cast<uint32_t>(out.size());
    out += central;
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint16_t>(entries.size()));
    Put16(out, static_cast<uint16_t>(entries.size()));
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, dirOffset);
    Put16(out, 0);
    return out;
}

}  // namespace ziptest
