// Fuzzes the rasterizer: any states, matrices, textures and vertices, NaN and
// infinities included. AddressSanitizer reports any write outside the frame
// or a texture; the frame must also keep its size and the device its states.
#include <cstdint>
#include <cstring>

#include "render/device.h"
#include "render/transform.h"

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    template <typename T> T take() {
        T value{};
        const size_t n = size < sizeof(T) ? size : sizeof(T);
        std::memcpy(&value, data, n);
        data += n;
        size -= n;
        return value;
    }
};

void setStates(Reader& in) {
    const uint8_t flags = in.take<uint8_t>();
    setAlphaBlendEnable(flags & 1);
    setAlphaTestEnable(flags & 2);
    setFilter(flags & 4 ? FilterLinear : (flags & 8 ? FilterAnisotropic : FilterPoint));
    setAddressMode(flags & 16 ? AddressClamp : AddressWrap);
    setAlphaOp(flags & 32 ? OpBlendTextureAlpha : OpSelectArg1);
    setColorArg1(flags & 64 ? ArgDiffuse : ArgTexture);
    const uint8_t blend = in.take<uint8_t>();
    const BlendFactor factors[4] = {BlendZero, BlendOne, BlendSrcAlpha, BlendInvSrcAlpha};
    setSrcBlend(factors[blend & 3]);
    setDestBlend(factors[(blend >> 2) & 3]);
    setAlphaRef(in.take<uint8_t>());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Texture* texture = nullptr;
    if (!graphics.created) {
        createGraphics();
        setupRenderStates();
    }
    Reader in{data, size};
    // A texture of 1 to 64 texels a side (sizes that are not powers of two too).
    releaseTexture(texture);
    const int w = in.take<uint8_t>() % 64 + 1, h = in.take<uint8_t>() % 64 + 1;
    texture = createTexture(w, h);
    for (int i = 0; i < w * h && in.size > 0; i++) texture->texels[i] = in.take<uint32_t>();
    setStates(in);
    setTexture(in.take<uint8_t>() & 1 ? texture : nullptr);
    if (in.take<uint8_t>() & 1) {
        ScreenVertex v[4];
        for (ScreenVertex& sv : v) sv = in.take<ScreenVertex>();
        drawScreenFan(v);
    } else {
        const float t[6] = {in.take<float>(), in.take<float>(), in.take<float>(),
                            in.take<float>(), in.take<float>(), in.take<float>()};
        setTransform(TransformWorld, worldMatrix(t[0], t[1], t[2], t[3], t[4], t[5]));
        setCamera(in.take<float>(), in.take<float>(), in.take<float>());
        updateView();
        WorldVertex v[4];
        for (WorldVertex& wv : v) wv = in.take<WorldVertex>();
        drawWorldFan(v);
    }
    return 0;
}
