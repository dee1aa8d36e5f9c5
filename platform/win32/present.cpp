// The 640 x 480 frame through GDI: StretchDIBits straight onto the window for
// Fit and Integer; for Sharp first a whole multiple with hard pixel edges into
// a DIB section, then smoothly (HALFTONE) to the final size. GDI does not
// wait for the retrace: presenting waits out one refresh period itself, as
// the Linux build does on a display that cannot wait.
#include <cstring>

#include "platform/win32/win32_backend.h"
// (after windows.h)
#include <mmsystem.h>

struct Picture {
    uint32_t frame[FrameWidth * FrameHeight]; // the last frame shown
    bool hasFrame;
    HDC sharpDc; // the frame enlarged by a whole multiple (Sharp)
    HBITMAP sharpBitmap;
    HGDIOBJ sharpOld;
    int prescale; // that multiple, 0 while there is no such bitmap
    LARGE_INTEGER frequency;
    int64_t nextPresent; // performance-counter time of the next retrace
    int64_t period;      // one refresh, in counter ticks
    bool timerFine;      // the system timer ticks every millisecond
};
static Picture picture;

// A top-down 32-bit DIB: the frame's 0xAARRGGBB words are its BGRA bytes.
static BITMAPINFO frameInfo(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void win32ClosePicture() {
    if (picture.sharpDc) {
        SelectObject(picture.sharpDc, picture.sharpOld);
        DeleteObject(picture.sharpBitmap);
        DeleteDC(picture.sharpDc);
    }
    if (picture.timerFine) timeEndPeriod(1);
    picture = Picture{};
}

// The bitmap the frame is enlarged into for Sharp, k times the frame's size.
static HDC sharpBitmap(HDC screen, int k) {
    if (picture.sharpDc && picture.prescale == k) return picture.sharpDc;
    if (!picture.sharpDc) picture.sharpDc = CreateCompatibleDC(screen);
    if (!picture.sharpDc) return nullptr;
    if (picture.sharpBitmap) {
        SelectObject(picture.sharpDc, picture.sharpOld);
        DeleteObject(picture.sharpBitmap);
    }
    picture.prescale = 0;
    BITMAPINFO info = frameInfo(FrameWidth * k, FrameHeight * k);
    void* bits = nullptr;
    picture.sharpBitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!picture.sharpBitmap) return nullptr;
    picture.sharpOld = SelectObject(picture.sharpDc, picture.sharpBitmap);
    picture.prescale = k;
    return picture.sharpDc;
}

static void fillBorders(HDC dc, const RECT& client, const Placement& p) {
    const RECT borders[4] = {{0, 0, p.x, client.bottom},
                             {p.x + p.w, 0, client.right, client.bottom},
                             {p.x, 0, p.x + p.w, p.y},
                             {p.x, p.y + p.h, p.x + p.w, client.bottom}};
    auto black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (const RECT& b : borders)
        if (b.right > b.left && b.bottom > b.top) FillRect(dc, &b, black);
}

void win32DrawPicture(HDC dc) {
    RECT client;
    if (!picture.hasFrame || !GetClientRect(win32Window(), &client)) return;
    Placement p = placeFrame(client.right, client.bottom, platformDisplay().scale);
    fillBorders(dc, client, p);
    BITMAPINFO info = frameInfo(FrameWidth, FrameHeight);
    HDC sharp = p.prescale ? sharpBitmap(dc, p.prescale) : nullptr;
    if (sharp) { // hard edges first, by a whole multiple; then smoothly
        int k = p.prescale;
        SetStretchBltMode(sharp, COLORONCOLOR);
        StretchDIBits(sharp, 0, 0, FrameWidth * k, FrameHeight * k, 0, 0, FrameWidth, FrameHeight,
                      picture.frame, &info, DIB_RGB_COLORS, SRCCOPY);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, p.x, p.y, p.w, p.h, sharp, 0, 0, FrameWidth * k, FrameHeight * k, SRCCOPY);
        return;
    }
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, p.x, p.y, p.w, p.h, 0, 0, FrameWidth, FrameHeight, picture.frame, &info,
                  DIB_RGB_COLORS, SRCCOPY);
}

// The display's refresh rate; 60 where the system does not say.
static int refreshHz() {
    HDC screen = GetDC(nullptr);
    int hz = screen ? GetDeviceCaps(screen, VREFRESH) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return hz > 1 ? hz : 60;
}

// Waits until one refresh period has passed since the previous present.
static void paceToRefresh() {
    if (picture.frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&picture.frequency);
        picture.timerFine = timeBeginPeriod(1) == TIMERR_NOERROR;
        picture.period = picture.frequency.QuadPart / refreshHz();
    }
    int64_t freq = picture.frequency.QuadPart, period = picture.period;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    int64_t now = counter.QuadPart;
    if (picture.nextPresent == 0 || now > picture.nextPresent + period) picture.nextPresent = now;
    while (now < picture.nextPresent) {
        int64_t left = (picture.nextPresent - now) * 1000 / freq;
        Sleep(left > 1 ? DWORD(left - 1) : 0);
        QueryPerformanceCounter(&counter);
        now = counter.QuadPart;
    }
    picture.nextPresent += period;
}

void presentFrame(const uint32_t* frame) {
    HWND hwnd = win32Window();
    if (!hwnd) return;
    std::memcpy(picture.frame, frame, sizeof picture.frame);
    picture.hasFrame = true;
    if (HDC dc = GetDC(hwnd)) {
        win32DrawPicture(dc);
        ReleaseDC(hwnd, dc);
    }
    paceToRefresh();
}
