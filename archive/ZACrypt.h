// CRC-32 of the ZIP format and the traditional PKWARE stream cipher.
#pragma once

#include <cstdint>
#include <string_view>

// Advances a CRC-32 register over a buffer without the initial and final inversion; callers start
// the register at 0xFFFFFFFF and invert it at the end. A null buffer or a length <= 0 changes nothing.
uint32_t Crc32Update(uint32_t reg, const void* buffer, int64_t length);
// Crc32Update into a register variable.
void Crc32Accumulate(const void* buffer, int64_t length, uint32_t& reg);
// One table step: table[(reg ^ b) & 0xFF] ^ (reg >> 8).
uint32_t Crc32Byte(uint8_t b, uint32_t reg);

// Key state of the traditional cipher.
struct CipherKeys {
    uint32_t Key0 = 0;
    uint32_t Key1 = 0;
    uint32_t Key2 = 0;
};

constexpr int CipherHeaderSize = 12;

void CipherInitKeys(CipherKeys& keys, std::string_view password);
void CipherUpdateKeys(CipherKeys& keys, uint8_t plain);
uint8_t CipherKeyByte(const CipherKeys& keys);
uint8_t CipherEncryptByte(CipherKeys& keys, uint8_t plain);
// Decrypts in place; the key state runs on, so a stream may be decrypted in pieces.
void CipherDecryptBuffer(CipherKeys& keys, uint8_t* buffer, int64_t length);
// Encrypts buffer[start .. start + count) in place; count <= 0 does nothing.
void CipherEncryptRange(CipherKeys& keys, uint8_t* buffer, int64_t start, int64_t count);
// Keys from the password, then the 12-byte encryption header decrypted in place.
void CipherStartDecrypt(CipherKeys& keys, std::string_view password, uint8_t* header12);
