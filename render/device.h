// The graphics device: a software reproduction of the fixed-function pipeline
// the game was drawn with. One 640 x 480 32-bit frame, two vertex layouts,
// 32-bit ARGB textures of one level, and render states that persist across
// draws and frames. Every draw is one four-vertex triangle fan from memory.
#pragma once

#include <cstdint>
#include <vector>

#include "render/transform.h"

// D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1: the match scene.
struct WorldVertex {
    float x, y, z;
    uint32_t colour; // 0xAARRGGBB
    float u, v;
};
static_assert(sizeof(WorldVertex) == 24);

// D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1: screens, HUD and text, in pixels.
struct ScreenVertex {
    float x, y, z;
    float rhw; // always 0.1
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28);

// An A8R8G8B8 texture of one level; texel (x, y) at texels[y * width + x].
struct Texture {
    int width;
    int height;
    uint32_t* texels;
};

enum VertexFormat : uint32_t { FormatNone = 0, FormatWorld = 0x142, FormatScreen = 0x144 };
enum TextureFilter : uint32_t { FilterPoint = 1, FilterLinear = 2, FilterAnisotropic = 3 };
enum TextureAddress : uint32_t { AddressWrap = 1, AddressClamp = 3 };
enum TextureOp : uint32_t { OpSelectArg1 = 2, OpModulate = 4, OpBlendTextureAlpha = 13 };
enum TextureArg : uint32_t { ArgDiffuse = 0, ArgCurrent = 1, ArgTexture = 2 };
enum BlendFactor : uint32_t {
    BlendZero = 1,
    BlendOne = 2,
    BlendSrcAlpha = 5,
    BlendInvSrcAlpha = 6
};
enum CompareFunc : uint32_t { CompareGreaterEqual = 7, CompareAlways = 8 };
enum TransformKind : uint32_t { TransformView = 2, TransformProjection = 3, TransformWorld = 256 };

// Every state the game relies on, as a plain record that persists.
struct RenderStates {
    bool cullNone;
    bool lighting;
    bool zEnable;
    bool flatShading;
    bool alphaBlendEnable;
    bool alphaTestEnable;
    uint32_t alphaRef; // 0..255
    CompareFunc alphaFunc;
    BlendFactor srcBlend, destBlend;
    TextureOp colorOp; // stage 0
    TextureArg colorArg1, colorArg2;
    TextureOp alphaOp;
    TextureArg alphaArg1, alphaArg2;
    TextureFilter magFilter, minFilter;
    TextureAddress addressU, addressV;
    const Texture* texture; // stage 0, nullptr for none
    VertexFormat vertexFormat;
    Matrix world, view, projection;
};

struct GraphicsContext {
    bool created;
    uint32_t* frame; // 640 x 480 back buffer, 0xAARRGGBB
    RenderStates states;
    int sceneDepth; // BeginScene/EndScene nesting, for checking pairs
};
extern GraphicsContext graphics;

// Textures owned by the context, created at start-up, released at exit.
extern Texture* grassTexture;
extern Texture* ringTexture;
extern Texture* markingsTexture;
extern Texture* kitTextures[10];
extern Texture* playerShadowTexture;
extern Texture* ballTexture;
extern Texture* ballShadowTexture;
extern Texture* goalTexture;
extern Texture* goalShadowTexture;
extern Texture* fontTexture;
extern Texture* mascotTexture;
extern Texture* mascotShadowTexture;
extern Texture* hudPanelTexture;

void createGraphics();    // the device and its frame; states at their defaults
void setupRenderStates(); // the fixed states and the projection
void releaseGraphics();   // every texture, then the device

Texture* createTexture(int width, int height); // all texels 0
void releaseTexture(Texture*& texture);

// Frame operations.
void clearFrame(uint32_t colour);
void presentFrame(); // hands the frame to the platform layer
// What the shell draws over every frame just before it is presented (online
// play's messages); nullptr for nothing.
void setPresentHook(void (*hook)());
void beginScene();
void endScene();

// State setters, each named after what it sets.
void setAlphaBlendEnable(bool on);
void setAlphaTestEnable(bool on);
void setAlphaRef(uint32_t ref);
void setAlphaFunc(CompareFunc func);
void setSrcBlend(BlendFactor factor);
void setDestBlend(BlendFactor factor);
void setColorArg1(TextureArg arg);
void setAlphaOp(TextureOp op);
void setFilter(TextureFilter filter);     // MAG and MIN together
void setAddressMode(TextureAddress mode); // U and V together
void setTexture(const Texture* texture);
void setVertexFormat(VertexFormat format);
void setTransform(TransformKind kind, const Matrix& m);

// One fan of four vertices (two triangles), corners in order around the quad.
void drawWorldFan(const WorldVertex v[4]);
void drawScreenFan(const ScreenVertex v[4]);

// Text states around a run of drawText / drawNumber calls.
void beginText();
void endText();

// Writes the frame as a PNG (libpng). Returns false when the file cannot be written.
bool writeFramePng(const char* path, const uint32_t* frame);
// Reads a PNG (libpng) into 0xRRGGBB pixels, any alpha composed onto black, as the
// golden frames are compared. Returns false when the file is no readable PNG.
bool readPng(const char* path, int& width, int& height, std::vector<uint32_t>& pixels);
