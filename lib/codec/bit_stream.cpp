#include "codec/bit_stream.h"

#include "codec/pick.h"

#ifdef Q73_X86_64_LOOPS
#include <immintrin.h>
#endif

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

static void turn_words(uint8_t* data, int32_t length) {
    int32_t k = 0;
    for (; length - k >= 8; k += 8) {
        uint64_t x;
        std::memcpy(&x, data + k, 8);
        x = reverse_each_byte(x);
        std::memcpy(data + k, &x, 8);
    }
    for (; k < length; ++k) data[k] = kReversedByte[data[k]];
}

#ifdef Q73_X86_64_LOOPS
// 32 bytes at a time, each byte multiplied by the bit matrix that turns it
// around (one Galois-field affine step).
__attribute__((target("gfni,avx2"))) static void turn_vectors(uint8_t* data, int32_t length) {
    const __m256i turn = _mm256_set1_epi64x(0x8040201008040201);
    int32_t k = 0;
    for (; length - k >= 32; k += 32) {
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + k));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(data + k), _mm256_gf2p8affine_epi64_epi8(x, turn, 0));
    }
    turn_words(data + k, length - k);
}
#endif

void turn_bytes(uint8_t* data, int32_t length) {
#ifdef Q73_X86_64_LOOPS
    static const bool vectors = __builtin_cpu_supports("gfni") && __builtin_cpu_supports("avx2");
    if (vectors) {
        turn_vectors(data, length);
        return;
    }
#endif
    turn_words(data, length);
}

// Only the bytes that bits reached can be non-zero, so only those are
// cleared; the rest of the buffer is zero already (static storage starts
// zeroed and every reset restores it).  A stream that was never reset has
// no position yet and has never been written.
void reset_level_stream(LevelStream* stream) {
    if (stream->position != nullptr) {
        std::memset(stream->buffer, 0, static_cast<size_t>(used_length(stream)));
    }
    stream->mask = kFreshMask;
    stream->position = stream->buffer;
}
