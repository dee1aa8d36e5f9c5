#include "render/device.h"

// Placeholder until the software device lands.
GraphicsContext graphics;
Texture* grassTexture;
Texture* ringTexture;
Texture* markingsTexture;
Texture* kitTextures[10];
Texture* playerShadowTexture;
Texture* ballTexture;
Texture* ballShadowTexture;
Texture* goalTexture;
Texture* goalShadowTexture;
Texture* fontTexture;
Texture* mascotTexture;
Texture* mascotShadowTexture;
Texture* hudPanelTexture;

void createGraphics() {}
void setupRenderStates() {}
void releaseGraphics() {}
Texture* createTexture(int, int) { return nullptr; }
void releaseTexture(Texture*& texture) { texture = nullptr; }
void clearFrame(uint32_t) {}
void presentFrame() {}
void beginScene() {}
void endScene() {}
void setAlphaBlendEnable(bool) {}
void setAlphaTestEnable(bool) {}
void setAlphaRef(uint32_t) {}
void setAlphaFunc(CompareFunc) {}
void setSrcBlend(BlendFactor) {}
void setDestBlend(BlendFactor) {}
void setColorArg1(TextureArg) {}
void setAlphaOp(TextureOp) {}
void setFilter(TextureFilter) {}
void setAddressMode(TextureAddress) {}
void setTexture(const Texture*) {}
void setVertexFormat(VertexFormat) {}
void setTransform(TransformKind, const Matrix&) {}
void drawWorldFan(const WorldVertex*) {}
void drawScreenFan(const ScreenVertex*) {}
void beginText() {}
void endText() {}
bool writeFramePng(const char*, const uint32_t*) { return false; }
