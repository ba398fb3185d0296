#include "archive/libraries/rar/RarCrc.h"

namespace mv::unrar {

namespace {
struct Tables {
    uint32_t t[8][256];
    Tables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xff];
    }
};
const Tables& Table() {
    static const Tables tables;
    return tables;
}
} // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* p, size_t n) {
    const auto& t = Table().t;
    crc = ~crc;
    while (n >= 8) {
        uint32_t a = crc ^ (p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24));
        uint32_t b = p[4] | (p[5] << 8) | (p[6] << 16) | (uint32_t(p[7]) << 24);
        crc = t[7][a & 0xff] ^ t[6][(a >> 8) & 0xff] ^ t[5][(a >> 16) & 0xff] ^ t[4][a >> 24] ^
              t[3][b & 0xff] ^ t[2][(b >> 8) & 0xff] ^ t[1][(b >> 16) & 0xff] ^ t[0][b >> 24];
        p += 8;
        n -= 8;
    }
    while (n--) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xff];
    return ~crc;
}

} // namespace mv::unrar
