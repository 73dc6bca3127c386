#include "codec/bounded_code.h"

namespace {

struct CodeShapes {
    CodeShape shapes[kShapedBounds + 1];
    constexpr CodeShapes() : shapes() {
        for (uint32_t m = 0; m <= kShapedBounds; ++m) shapes[m] = code_shape_of(m);
    }
};

constexpr CodeShapes kShapes;

}  // namespace

const CodeShape kCodeShapes[kShapedBounds + 1] = {
#define S(i) kShapes.shapes[i]
#define S4(i) S(i), S(i + 1), S(i + 2), S(i + 3)
#define S16(i) S4(i), S4(i + 4), S4(i + 8), S4(i + 12)
#define S64(i) S16(i), S16(i + 16), S16(i + 32), S16(i + 48)
#define S256(i) S64(i), S64(i + 64), S64(i + 128), S64(i + 192)
    S256(0), S256(256), S256(512), S256(768), S256(1024), S256(1280), S256(1536), S256(1792), S(2048)
#undef S256
#undef S64
#undef S16
#undef S4
#undef S
};
