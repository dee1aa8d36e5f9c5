// The one window on Windows: a class of the game's own whose window procedure
// takes the system's messages and hands the game the ones it reads (key-downs
// with their virtual-key codes, activation, close), one per pass. Full screen
// is a borderless window over the whole monitor; --window makes a resizable
// one; Alt+Enter switches. Losing the focus pauses either, as on Linux; so
// does the pause key.
#include <cstdio>

#include "platform/win32/win32_backend.h"

constexpr int PendingSize = 32;

struct Win32Window {
    HWND hwnd;
    bool hasWindow;
    bool pointerHidden;
    bool fullScreen;
    bool paused;       // without the focus
    bool keyPaused;    // the pause key was pressed
    RECT windowedRect; // where the window goes back to from the full screen
    PlatformMessage pending[PendingSize];
    int pendingHead, pendingCount;
    char error[256];
};
static Win32Window win;

HWND win32Window() {
    return win.hwnd;
}
bool platformHasWindow() {
    return win.hasWindow;
}
const char* platformError() {
    return win.error;
}
void platformHidePointer() {
    win.pointerHidden = true;
}

void win32PostGameMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (win.pendingCount == PendingSize) return; // a full queue drops the newest
    win.pending[(win.pendingHead + win.pendingCount) % PendingSize] = {message, wParam, lParam};
    win.pendingCount++;
}

static bool takePending(PlatformMessage& m) {
    if (win.pendingCount == 0) return false;
    m = win.pending[win.pendingHead];
    win.pendingHead = (win.pendingHead + 1) % PendingSize;
    win.pendingCount--;
    return true;
}

static void postKeyDown(int vk) {
    win32PostGameMessage(WM_KEYDOWN, uintptr_t(vk));
}

// The rectangle of the monitor the window is on, or of the primary one.
static RECT monitorRect(HWND hwnd) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY);
    if (!GetMonitorInfoW(monitor, &info)) return {0, 0, FrameWidth, FrameHeight};
    return info.rcMonitor;
}

// The window's outer rectangle for a client area of the largest whole
// multiple of the frame that fits 80 % of the monitor, centred on it.
static RECT centredWindowRect(const RECT& monitor) {
    int mw = monitor.right - monitor.left, mh = monitor.bottom - monitor.top;
    int w = FrameWidth, h = FrameHeight;
    windowedSize(mw, mh, w, h);
    RECT r = {0, 0, w, h};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
    int ow = r.right - r.left, oh = r.bottom - r.top;
    int x = monitor.left + (mw - ow) / 2, y = monitor.top + (mh - oh) / 2;
    return {x, y, x + ow, y + oh};
}

static void placeWindow(bool fullScreen) {
    RECT r = fullScreen ? monitorRect(win.hwnd) : win.windowedRect;
    LONG_PTR style = fullScreen ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    SetWindowLongPtrW(win.hwnd, GWL_STYLE, style | WS_VISIBLE);
    SetWindowPos(win.hwnd, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

static void toggleFullScreen() {
    if (!win.fullScreen) GetWindowRect(win.hwnd, &win.windowedRect);
    win.fullScreen = !win.fullScreen;
    placeWindow(win.fullScreen);
}

// The sound holds while either pause does.
static void setPauses(bool focus, bool key) {
    bool was = win.paused || win.keyPaused;
    win.paused = focus;
    win.keyPaused = key;
    if (was != (focus || key)) soundCardHold(focus || key);
    if (win.hwnd) InvalidateRect(win.hwnd, nullptr, FALSE); // shows the paused frame
}

static void setPaused(bool paused) {
    setPauses(paused, win.keyPaused);
}

void win32ToggleKeyPause() {
    if (win.hasWindow) setPauses(win.paused, !win.keyPaused);
}

PauseCause platformPauseCause() {
    if (win.paused) return PauseCause::Focus;
    return win.keyPaused ? PauseCause::Key : PauseCause::None;
}

DisplaySettings platformCurrentDisplay() {
    DisplaySettings shown = platformDisplay();
    if (win.hwnd) shown.windowed = !win.fullScreen;
    return shown;
}

static void activation(WORD state) {
    if (state != WA_INACTIVE) {
        setPaused(false);
        win32PostGameMessage(WM_ACTIVATE, WA_ACTIVE);
    } else {
        // Fix: the full screen used to end the program on a lost focus, so a
        // notification or Alt+Tab lost the match under way; it pauses now,
        // as a window does. No passes run until the focus comes back.
        setPaused(true);
    }
}

// A key-down: the pause key pauses; any other gives its bound code and
// carries its place in lParam, as platform.h says.
static void keyDown(WPARAM wParam, LPARAM flags) {
    int scancode = win32Scancode(flags);
    bool repeat = (flags >> 30) & 1;
    if (isPauseScancode(scancode)) {
        if (!repeat) win32ToggleKeyPause();
        return;
    }
    int vk = boundLayoutKey(scancode, win32GameKey(int(wParam)));
    if (vk) win32PostGameMessage(WM_KEYDOWN, uintptr_t(vk), intptr_t(scancode & 0x1FF) << 16);
}

static void repaint(HWND hwnd) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    win32DrawPicture(dc);
    EndPaint(hwnd, &paint);
}

static LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN: // key repeat arrives as further key-downs, as it should
        keyDown(wParam, lParam);
        return 0;
    case WM_SYSKEYDOWN: // Alt, F10 and keys under Alt: no key-down for the game
        if (win32IsFullScreenSwitch(wParam, lParam)) toggleFullScreen();
        return 0;
    case WM_SYSCHAR:
        return 0; // no beep for Alt+key
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;
        break;
    case WM_CLOSE:
        win32PostGameMessage(WM_CLOSE, 0);
        return 0;
    case WM_ACTIVATE:
        activation(LOWORD(wParam));
        return 0;
    case WM_SETCURSOR:
        if (!win.pointerHidden || LOWORD(lParam) != HTCLIENT) break;
        SetCursor(nullptr);
        return TRUE;
    case WM_ERASEBKGND:
        return 1; // the picture covers all of it, borders included
    case WM_PAINT:
        repaint(hwnd);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

static bool failWindow(const char* what) {
    std::snprintf(win.error, sizeof win.error, "%s failed (error %lu)", what, GetLastError());
    return false;
}

bool platformCreateWindow(const char* className, const char* title) {
    win.error[0] = 0;
    if (platformIsHeadless()) {
        win.hasWindow = true;
        return true;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = windowProcedure;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1)); // the mascot
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = className;
    // A window made again in the same run finds its class still there.
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return failWindow("RegisterClassEx");
    RECT monitor = monitorRect(nullptr);
    win.windowedRect = centredWindowRect(monitor);
    win.fullScreen = !platformDisplay().windowed;
    const RECT& r = win.fullScreen ? monitor : win.windowedRect;
    DWORD style = win.fullScreen ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    win.hwnd = CreateWindowExA(0, className, title, style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (!win.hwnd) return failWindow("CreateWindowEx");
    win.hasWindow = true;
    ShowWindow(win.hwnd, SW_SHOW);
    SetForegroundWindow(win.hwnd);
    UpdateWindow(win.hwnd);
    padsStart();
    return true;
}

void closeWindow() {
    win32ClosePicture();
    if (win.hwnd) DestroyWindow(win.hwnd);
    win = Win32Window{};
}

bool backendTakeMessage(PlatformMessage& m) {
    if (!win.hwnd) return false;
    padsPoll(postKeyDown);
    MSG msg;
    // Messages that make none for the game do not use up the pass.
    while (!takePending(m)) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
        DispatchMessageA(&msg);
    }
    return true;
}

void backendQueuePadPresses() {}

static void dropPress(int) {}

bool platformPaused() {
    if (platformIsHeadless() || !(win.paused || win.keyPaused)) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    padsPoll(dropPress); // the pause button may end the pause it began
    // Only a close reaches the game's procedure while paused, and only the
    // pause key ends the pause it began; other keys are lost.
    PlatformMessage m;
    bool close = false;
    while (takePending(m)) close = close || m.message == WM_CLOSE;
    if (close) {
        setPauses(false, false); // the songs are freed next, on a running device
        deliverWindowMessage(WM_CLOSE, 0);
    }
    return win.paused || win.keyPaused;
}
