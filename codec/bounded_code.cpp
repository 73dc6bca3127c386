#include "codec/bounded_code.h"

void put_bounded(LevelStream* stream, int32_t v, int32_t m) {
    if (m < 1) return;
    int32_t done = 0;
    int32_t b = 1;
    do {
        int bit = (v & b) != 0;
        if (bit) done |= b;
        put_bit(stream, bit);
        b <<= 1;
    } while ((done | b) <= m);
}

int32_t get_bounded(InputStream* stream, int32_t m) {
    if (m < 1) return 0;
    if (stream->position >= stream->length) {
        stream->position = stream->length + 1;
        return 0;
    }
    int32_t v = 0;
    int32_t b = 1;
    do {
        if (read_bit(stream)) v |= b;
        b <<= 1;
    } while ((v | b) <= m);
    return v;
}
