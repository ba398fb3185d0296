#pragma once
// Decryption of encrypted ACE members: the key comes from the password through one
// SHA-0 style compression (little-endian words, no length field, no rotation in the
// message expansion), and the data is Blowfish in CBC mode with ACE's own initial
// tables, little-endian blocks and a zero IV at the start of every member.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mv::unace {

extern const uint32_t kAceBlowfishInit[1042];

// The five key words derived from a password (at most its first 50 bytes count).
void AceKeyFromPassword(const std::string& password, uint32_t key[5]);

class AceCipher {
public:
    // Sets the key and starts a new chain (zero IV).
    void SetPassword(const std::string& password);
    // Starts the chain again (each member is encrypted on its own).
    void ResetChain() { FIvL = FIvR = 0; }
    // Decrypts n bytes in place; n must be a multiple of 8.
    void Decrypt(uint8_t* data, size_t n);
    // The raw block cipher, for tests.
    void EncryptBlock(uint32_t& l, uint32_t& r) const;
    void DecryptBlock(uint32_t& l, uint32_t& r) const;

private:
    uint32_t F(uint32_t x) const {
        return ((FS[0][x >> 24] + FS[1][(x >> 16) & 255]) ^ FS[2][(x >> 8) & 255]) + FS[3][x & 255];
    }
    uint32_t FP[18] = {};
    uint32_t FS[4][256] = {};
    uint32_t FIvL = 0, FIvR = 0;
};

} // namespace mv::unace
