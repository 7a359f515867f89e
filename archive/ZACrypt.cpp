#include "archive/ZACrypt.h"

#include <zlib.h>

#include <algorithm>

uint32_t Crc32Update(uint32_t reg, const void* buffer, int64_t length)
{
    if (buffer == nullptr || length <= 0)
        return reg;
    // zlib inverts on entry and exit; undo both so the register runs raw.
    const auto* bytes = static_cast<const Bytef*>(buffer);
    uLong crc = ~reg & 0xFFFFFFFFu;
    while (length > 0) {
        const auto piece = static_cast<z_size_t>(std::min<int64_t>(length, int64_t{1} << 30));
        crc = crc32_z(crc, bytes, piece);
        bytes += piece;
        length -= static_cast<int64_t>(piece);
    }
    return ~static_cast<uint32_t>(crc);
}

void Crc32Accumulate(const void* buffer, int64_t length, uint32_t& reg)
{
    reg = Crc32Update(reg, buffer, length);
}

uint32_t Crc32Byte(uint8_t b, uint32_t reg)
{
    static const z_crc_t* const table = get_crc_table();
    return static_cast<uint32_t>(table[(reg ^ b) & 0xFF]) ^ (reg >> 8);
}

void CipherUpdateKeys(CipherKeys& keys, uint8_t plain)
{
    keys.Key0 = Crc32Byte(plain, keys.Key0);
    keys.Key1 = (keys.Key1 + (keys.Key0 & 0xFF)) * 134775813u + 1;
    keys.Key2 = Crc32Byte(static_cast<uint8_t>(keys.Key1 >> 24), keys.Key2);
}

void CipherInitKeys(CipherKeys& keys, std::string_view password)
{
    keys.Key0 = 0x12345678;
    keys.Key1 = 0x23456789;
    keys.Key2 = 0x34567890;
    for (char c : password)
        CipherUpdateKeys(keys, static_cast<uint8_t>(c));
}

uint8_t CipherKeyByte(const CipherKeys& keys)
{
    const uint32_t t = (keys.Key2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

uint8_t CipherEncryptByte(CipherKeys& keys, uint8_t plain)
{
    const uint8_t k = CipherKeyByte(keys);
    CipherUpdateKeys(keys, plain);
    return plain ^ k;
}

void CipherDecryptBuffer(CipherKeys& keys, uint8_t* buffer, int64_t length)
{
    for (int64_t i = 0; i < length; ++i) {
        const uint8_t p = buffer[i] ^ CipherKeyByte(keys);
        CipherUpdateKeys(keys, p);
        buffer[i] = p;
    }
}

void CipherEncryptRange(CipherKeys& keys, uint8_t* buffer, int64_t start, int64_t count)
{
    for (int64_t i = 0; i < count; ++i)
        buffer[start + i] = CipherEncryptByte(keys, buffer[start + i]);
}

void CipherStartDecrypt(CipherKeys& keys, std::string_view password, uint8_t* header12)
{
    CipherInitKeys(keys, password);
    CipherDecryptBuffer(keys, header12, CipherHeaderSize);
}
