#include "render/bitmaps.h"

#include "resources/resources.h"

namespace {

constexpr uint32_t magentaKey = 0xFF00FF;

// Which of the two conversions a texture is made with, and its options.
struct TexelRule {
    bool kit;
    uint32_t kitColour;
    int silhouette;
    int blackTransparent;
};

Texture* convertResource(int resourceId, const TexelRule& rule) {
    ResourceBytes bytes = findResource(resourceId, "BITMAP");
    BitmapPixels bitmap;
    if (!decodeBitmap(bytes.data, bytes.size, &bitmap)) return nullptr;
    Texture* texture = createTexture(bitmap.width, bitmap.height);
    if (!texture || !texture->texels || texture->width != bitmap.width ||
        texture->height != bitmap.height)
        return texture;
    for (size_t i = 0; i < bitmap.rgb.size(); i++) {
        uint32_t rgb = bitmap.rgb[i];
        texture->texels[i] = rule.kit ? kitTexel(rgb, rule.kitColour)
                                      : bitmapTexel(rgb, rule.silhouette, rule.blackTransparent);
    }
    return texture;
}

} // namespace

uint32_t bitmapTexel(uint32_t rgb, int silhouette, int blackTransparent) {
    bool shadow = (silhouette & 0xFF) != 0;
    if (rgb == magentaKey) return 0;
    if (rgb == 0 && (!shadow || (blackTransparent & 0xFF) != 0)) return 0;
    if (shadow) return 0xAA000000;
    return 0xFF000000 | rgb;
}

uint32_t kitTexel(uint32_t rgb, uint32_t kitColour) {
    if (rgb == magentaKey) return 0;
    // Every kit colour keeps its channels at 0xF5 or below, so adding 10 to each
    // never carries into the next; a larger value would, as the game always did.
    if (rgb == kitColourKey) return 0xFF000000 + kitColour + 0x000A0A0A;
    return 0xFF000000 | rgb;
}

Texture* loadBitmapTexture(int resourceId, int silhouette, int blackTransparent) {
    return convertResource(resourceId, {false, 0, silhouette, blackTransparent});
}

Texture* loadKitTexture(int resourceId, uint32_t kitColour) {
    return convertResource(resourceId, {true, kitColour, 0, 0});
}
