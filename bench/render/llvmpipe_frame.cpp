#include "bench/render/llvmpipe_frame.h"

#include <cstdlib>

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include "render/device.h"

namespace {

struct LlvmpipeContext {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0, colour = 0;
    GLuint grass = 0, markings = 0, kit = 0, font = 0;
};
LlvmpipeContext gl;

GLuint upload(const Texture* t, GLint filter, GLint address) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    // 0xAARRGGBB words are B, G, R, A bytes in memory.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t->width, t->height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 t->texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, address);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, address);
    return name;
}

bool createContext() {
    // Software rasterization in the calling thread only.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    setenv("LP_NUM_THREADS", "0", 1);
    gl.display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (gl.display == EGL_NO_DISPLAY || !eglInitialize(gl.display, nullptr, nullptr)) return false;
    if (!eglBindAPI(EGL_OPENGL_API)) return false;
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (!eglChooseConfig(gl.display, attributes, &config, 1, &count) || count < 1) return false;
    gl.context = eglCreateContext(gl.display, config, EGL_NO_CONTEXT, nullptr);
    return gl.context != EGL_NO_CONTEXT &&
           eglMakeCurrent(gl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, gl.context);
}

void quad(float x1, float y1, float x2, float y2, float u1, float v1, float u2, float v2) {
    glTexCoord2f(u1, v1);
    glVertex2f(x1, y1);
    glTexCoord2f(u2, v1);
    glVertex2f(x2, y1);
    glTexCoord2f(u2, v2);
    glVertex2f(x2, y2);
    glTexCoord2f(u1, v2);
    glVertex2f(x1, y2);
}

} // namespace

bool llvmpipeStartUp() {
    if (!createContext()) {
        llvmpipeRelease();
        return false;
    }
    glGenRenderbuffers(1, &gl.colour);
    glBindRenderbuffer(GL_RENDERBUFFER, gl.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 640, 480);
    glGenFramebuffers(1, &gl.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, gl.framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, gl.colour);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        llvmpipeRelease();
        return false;
    }
    gl.grass = upload(grassTexture, GL_LINEAR, GL_REPEAT);
    gl.markings = upload(markingsTexture, GL_LINEAR, GL_CLAMP_TO_EDGE);
    gl.kit = upload(kitTextures[0], GL_LINEAR, GL_CLAMP_TO_EDGE);
    gl.font = upload(fontTexture, GL_NEAREST, GL_REPEAT);
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 640, 480, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glAlphaFunc(GL_GEQUAL, 50.0f / 255.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    return true;
}

void llvmpipeDrawFrame() {
    glClearColor(0.235f, 0.235f, 0.235f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    // The grass: one bilinear quad over the screen, its texture repeating.
    glBindTexture(GL_TEXTURE_2D, gl.grass);
    glBegin(GL_QUADS);
    quad(0, 0, 640, 480, 0, 0, 6, 6);
    glEnd();
    // The markings' four quarters and 45 sprites, blended and alpha-tested.
    glEnable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glBindTexture(GL_TEXTURE_2D, gl.markings);
    glBegin(GL_QUADS);
    quad(0, 0, 320, 240, 0, 0, 1, 1);
    quad(320, 0, 640, 240, 1, 0, 0, 1);
    quad(0, 240, 320, 480, 0, 1, 1, 0);
    quad(320, 240, 640, 480, 1, 1, 0, 0);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, gl.kit);
    glBegin(GL_QUADS);
    for (int i = 0; i < 45; i++) {
        const float x = float(40 + (i * 97) % 560), y = float(60 + (i * 53) % 380);
        quad(x, y, x + 24, y + 24, 0, 0, 0.375f, 0.33f);
    }
    glEnd();
    // 200 glyphs of the font, point-sampled and alpha-tested, unblended.
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, gl.font);
    glBegin(GL_QUADS);
    for (int i = 0; i < 200; i++) {
        const float x = float(8 + (i % 50) * 12), y = float(8 + (i / 50) * 12);
        const float u = float(i % 8) * 0.125f, v = float(i / 8 % 8) * 0.125f;
        quad(x, y, x + 8, y + 8, u, v, u + 0.125f, v + 0.125f);
    }
    glEnd();
    glDisable(GL_ALPHA_TEST);
    glFinish();
}

void llvmpipeRelease() {
    if (gl.context != EGL_NO_CONTEXT) {
        const GLuint textures[] = {gl.grass, gl.markings, gl.kit, gl.font};
        glDeleteTextures(4, textures);
        glDeleteFramebuffers(1, &gl.framebuffer);
        glDeleteRenderbuffers(1, &gl.colour);
        eglMakeCurrent(gl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(gl.display, gl.context);
    }
    if (gl.display != EGL_NO_DISPLAY) eglTerminate(gl.display);
    gl = LlvmpipeContext{};
}
