// Words loaded from and stored to the codec's buffers, in the file's byte
// order.
//
// The bit stream, the lanes' writer and the queued 8-byte lists move 4 and
// 8 bytes at once as one word whose least significant byte is the first in
// memory: that is the order the streams' bytes and the lists' symbols have
// on every processor.  On a little-endian processor these are plain loads
// and stores; on a big-endian one the word is turned around on its way in
// or out, which compilers make a single byte-reversing load or store.
#pragma once

#include <cstdint>
#include <cstring>

#if !defined(__BYTE_ORDER__) || \
    (__BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__ && __BYTE_ORDER__ != __ORDER_BIG_ENDIAN__)
#error "the codec needs a little-endian or a big-endian processor"
#endif

constexpr bool kBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

inline uint32_t load_le32(const uint8_t* p) {
    uint32_t x;
    std::memcpy(&x, p, 4);
    if constexpr (kBigEndian) x = __builtin_bswap32(x);
    return x;
}

inline uint64_t load_le64(const uint8_t* p) {
    uint64_t x;
    std::memcpy(&x, p, 8);
    if constexpr (kBigEndian) x = __builtin_bswap64(x);
    return x;
}

inline void store_le32(uint8_t* p, uint32_t x) {
    if constexpr (kBigEndian) x = __builtin_bswap32(x);
    std::memcpy(p, &x, 4);
}

inline void store_le64(uint8_t* p, uint64_t x) {
    if constexpr (kBigEndian) x = __builtin_bswap64(x);
    std::memcpy(p, &x, 8);
}
