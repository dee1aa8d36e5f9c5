// A frame comparable to the match frame, drawn through Mesa's llvmpipe (OpenGL
// through EGL, without a window, on one thread): one full-screen bilinear quad
// of the grass, 49 textured quads blended and alpha-tested, 200 glyphs of the
// font alpha-tested, all from the device's own textures.
#pragma once

// Creates the context, its 640 x 480 target and the textures, which the
// device must already hold. False when no EGL display with llvmpipe exists.
bool llvmpipeStartUp();
// One whole frame, waited for with glFinish.
void llvmpipeDrawFrame();
void llvmpipeRelease();
