// Paints CInfoProgressBar on a 182-pixel-wide progress control and checks its pixels: the frame,
// the band colours, the two text colours meeting at the filled width, empty and full bars.
// Prints one PASS/FAIL line per check; exit status 1 when any check failed.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "info_progress_bar.h"

namespace {

constexpr COLORREF kTextOnBar = RGB(0xFF, 0x00, 0xFF);
constexpr COLORREF kText = RGB(0x00, 0x00, 0x00);
constexpr COLORREF kBar = 0x0033CC66;
constexpr int kClientWidth = 182, kClientHeight = 22;

int g_failed = 0;

void Check(const char* what, bool ok) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what);
    if (!ok)
        ++g_failed;
}

// The control's client area as painted, read back into our own 32-bit bitmap.
struct Picture {
    COLORREF pixel[kClientHeight][kClientWidth];
};

void Capture(HWND control, Picture& picture) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC window = GetDC(control);
    HDC memory = CreateCompatibleDC(window);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kClientWidth;
    info.bmiHeader.biHeight = -kClientHeight;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, kClientWidth, kClientHeight, window, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD* row = static_cast<const DWORD*>(bits);
    for (int y = 0; y < kClientHeight; ++y) {
        for (int x = 0; x < kClientWidth; ++x) {
            const DWORD v = row[y * kClientWidth + x];  // 0x00RRGGBB
            picture.pixel[y][x] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
        }
    }
    SelectObject(memory, previous);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(control, window);
}

COLORREF BandColor(const Picture& p, int y) {
    return p.pixel[y][1];  // the text never reaches the first inner column
}

}  // namespace

int main() {
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    HWND parent = CreateWindowExA(0, "STATIC", "paint", WS_POPUP | WS_VISIBLE, 0, 0, 300, 80, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    HWND control =
        CreateWindowExA(0, PROGRESS_CLASSA, "Progress1", WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH, 10, 10,
                        kClientWidth + 2, kClientHeight + 2, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    // A big bold font without smoothing, so that the text pixels are plain and reach x = 90.
    HFONT font = CreateFontA(-18, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma");
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    CInfoProgressBar bar;
    Check("binding to the control", bar.SubclassWindow(control));
    char text[32] = "x";
    GetWindowTextA(control, text, sizeof(text));
    Check("binding clears the template text", text[0] == '\0');
    RECT client;
    GetClientRect(control, &client);
    Check("client area 182 by 22", client.right == kClientWidth && client.bottom == kClientHeight);

    bar.SetColors(kTextOnBar, kText, kBar);
    SendMessageA(control, PBM_SETPOS, 50, 0);
    // Eleven H: the crossbar of the middle one covers the columns where the colours change.
    SetWindowTextA(control, "HHHHHHHHHHH");
    static Picture p;
    Capture(control, p);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);

    bool frame = true;
    for (int x = 0; x < kClientWidth; ++x)
        frame = frame && p.pixel[0][x] == face && p.pixel[21][x] == face;
    for (int y = 0; y < kClientHeight; ++y)
        frame = frame && p.pixel[y][0] == face && p.pixel[y][181] == face;
    Check("one-pixel frame in the button face", frame);

    Check("band 1 is 1E 84 08", BandColor(p, 1) == RGB(0x1E, 0x84, 0x08));
    Check("band 10 is 66 CC 50", BandColor(p, 10) == RGB(0x66, 0xCC, 0x50));
    Check("band 20 is B6 FF A0", BandColor(p, 20) == RGB(0xB6, 0xFF, 0xA0));

    // Left of x = 90: bands or text over the bar; x = 90: band or the other text colour;
    // right of it: button face or the other text colour.
    int onBarLeft = 0, textRight = 0, wrong = 0;
    for (int y = 1; y <= 20; ++y) {
        for (int x = 1; x <= 180; ++x) {
            const COLORREF c = p.pixel[y][x];
            if (x < 90) {
                if (c == kTextOnBar)
                    ++onBarLeft;
                else if (c != BandColor(p, y))
                    ++wrong;
            } else if (x == 90) {
                if (c == kText)
                    ++textRight;
                else if (c != BandColor(p, y))
                    ++wrong;
            } else {
                if (c == kText)
                    ++textRight;
                else if (c != face)
                    ++wrong;
            }
        }
    }
    Check("text over the bar in its colour left of x = 90", onBarLeft > 0);
    Check("text elsewhere in its colour from x = 90 on", textRight > 0);
    Check("no other colours at position 50", wrong == 0);
    int column89 = 0, column90 = 0;
    for (int y = 1; y <= 20; ++y) {
        column89 += p.pixel[y][89] == kTextOnBar;
        column90 += p.pixel[y][90] == kText;
    }
    std::printf("     text pixels: %d left in the on-bar colour, %d right; columns 89/90: %d/%d\n", onBarLeft,
                textRight, column89, column90);
    Check("the colours change between columns 89 and 90", column89 > 0 && column90 > 0);

    SendMessageA(control, PBM_SETPOS, 0, 0);
    Capture(control, p);
    int barPixels = 0, textPixels = 0;
    for (int y = 1; y <= 20; ++y) {
        for (int x = 0; x < kClientWidth; ++x) {
            if (p.pixel[y][x] == kText)
                ++textPixels;
            else if (p.pixel[y][x] != face)
                ++barPixels;
        }
    }
    Check("position 0: no bar, text entirely in the other colour", barPixels == 0 && textPixels > 0);

    SendMessageA(control, PBM_SETPOS, 100, 0);
    Capture(control, p);
    int faceInside = 0, lastColumnOnBar = 0;
    for (int y = 1; y <= 20; ++y) {
        for (int x = 1; x <= 180; ++x)
            faceInside += p.pixel[y][x] == face;
        lastColumnOnBar += p.pixel[y][180] == kTextOnBar;
    }
    Check("position 100: the bands cover the whole inner rectangle", faceInside == 0);
    Check("position 100: last inner column never takes the on-bar text colour", lastColumnOnBar == 0);

    bar.SetGradientStep(0);
    SendMessageA(control, PBM_SETPOS, 50, 0);
    SetWindowTextA(control, "");
    Capture(control, p);
    bool solid = true;
    for (int y = 1; y <= 20; ++y) {
        for (int x = 1; x <= 180; ++x)
            solid = solid && p.pixel[y][x] == (x < 90 ? kBar : face);
    }
    Check("step 0: a solid bar exactly over the fill rectangle, empty text draws nothing", solid);

    DestroyWindow(parent);
    DeleteObject(font);
    std::printf("%s\n", g_failed == 0 ? "ALL PASSED" : "SOME FAILED");
    return g_failed == 0 ? 0 : 1;
}
