#include "zipextract/zipcrypto.h"

#include <zlib.h>

namespace {

// zlib's table is the one the cipher is defined over (CRC-32, reflected
// polynomial 0xEDB88320), so the single-byte step can use it directly.
inline std::uint32_t crcStep(const z_crc_t *table, std::uint32_t crc, unsigned char byte)
{
    return table[(crc ^ byte) & 0xff] ^ (crc >> 8);
}

} // namespace

ZipCrypto::ZipCrypto(const QByteArray &password)
    : m_key0(0x12345678u), m_key1(0x23456789u), m_key2(0x34567890u)
{
    for (char c : password)
        updateKeys(static_cast<unsigned char>(c));
}

unsigned char ZipCrypto::keystreamByte() const
{
    const std::uint32_t temp = (m_key2 | 2u) & 0xffffu;
    return static_cast<unsigned char>(((temp * (temp ^ 1u)) >> 8) & 0xffu);
}

void ZipCrypto::updateKeys(unsigned char plain)
{
    static const z_crc_t *const table = get_crc_table();
    m_key0 = crcStep(table, m_key0, plain);
    m_key1 = (m_key1 + (m_key0 & 0xffu)) * 134775813u + 1u;
    m_key2 = crcStep(table, m_key2, static_cast<unsigned char>(m_key1 >> 24));
}

void ZipCrypto::decrypt(unsigned char *data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char plain = data[i] ^ keystreamByte();
        updateKeys(plain);
        data[i] = plain;
    }
}

void ZipCrypto::encrypt(unsigned char *data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char k = keystreamByte();
        updateKeys(data[i]);
        data[i] ^= k;
    }
}

bool ZipCrypto::decryptHeader(unsigned char header[kHeaderSize], unsigned char checkByte)
{
    decrypt(header, kHeaderSize);
    return header[kHeaderSize - 1] == checkByte;
}

void ZipCrypto::makeHeader(unsigned char header[kHeaderSize],
                           const unsigned char salt[kHeaderSize - 1], unsigned char checkByte)
{
    for (int i = 0; i < kHeaderSize - 1; ++i)
        header[i] = salt[i];
    header[kHeaderSize - 1] = checkByte;
    encrypt(header, kHeaderSize);
}
