#include "codec/bounded_code.h"

namespace {

struct ReversedBytes {
    uint8_t table[256];
    constexpr ReversedBytes() : table() {
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (i & (1 << bit)) r |= 0x80 >> bit;
            }
            table[i] = static_cast<uint8_t>(r);
        }
    }
};

constexpr ReversedBytes kTable;

}  // namespace

const uint8_t kReversedByte[256] = {
#define R(i) kTable.table[i]
#define R4(i) R(i), R(i + 1), R(i + 2), R(i + 3)
#define R16(i) R4(i), R4(i + 4), R4(i + 8), R4(i + 12)
#define R64(i) R16(i), R16(i + 16), R16(i + 32), R16(i + 48)
    R64(0), R64(64), R64(128), R64(192)
#undef R64
#undef R16
#undef R4
#undef R
};
