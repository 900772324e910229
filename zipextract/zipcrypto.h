#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// The traditional PKWARE stream cipher of zip archives (application note,
// section 6.1). Reading and writing protected archives share this one class so
// that both ends agree on every byte of the key schedule.
//
// A protected entry's data starts with a 12-byte header; its last byte, once
// decrypted, must equal the check byte of the entry: the high byte of the CRC,
// or the high byte of the DOS modification time when the entry carries a data
// descriptor (general purpose flag bit 3).
class ZipCrypto
{
public:
    static constexpr int kHeaderSize = 12;

    // Keys initialised from the password bytes (used as given, no conversion).
    explicit ZipCrypto(const QByteArray &password);

    void decrypt(unsigned char *data, std::size_t size);
    void encrypt(unsigned char *data, std::size_t size);

    // Decrypts a header in place and tells whether its check byte matches.
    // The keys advance either way, as the data that follows expects.
    bool decryptHeader(unsigned char header[kHeaderSize], unsigned char checkByte);

    // Fills a header: eleven bytes from `salt`, then the check byte, and
    // encrypts it. Callers pass fresh random salt for every entry.
    void makeHeader(unsigned char header[kHeaderSize], const unsigned char salt[kHeaderSize - 1],
                    unsigned char checkByte);

    static unsigned char checkByteFromCrc(std::uint32_t crc) { return crc >> 24; }
    static unsigned char checkByteFromDosTime(std::uint32_t dosDateTime)
    {
        return (dosDateTime >> 8) & 0xff;
    }

private:
    unsigned char keystreamByte() const;
    void updateKeys(unsigned char plain);

    std::uint32_t m_key0;
    std::uint32_t m_key1;
    std::uint32_t m_key2;
};
