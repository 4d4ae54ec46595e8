// CInfoProgressBar: off-screen painting of the bar and of its two-colour text.
#include "info_progress_bar.h"

#include <string>

#include "progress_geometry.h"

namespace {

BarRect ToBar(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

RECT ToRect(const BarRect& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    if (brush != nullptr) {
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }
}

// A clipping region that holds exactly the pixels of the rectangle (none when it is inverted).
HRGN CreateClipRegion(const BarRect& rect) {
    const BarRect r = BarNormalized(rect);
    return CreateRectRgn(r.left, r.top, r.right, r.bottom);
}

}  // namespace

bool CInfoProgressBar::Font::CreateIndirect(const LOGFONTA& logFont) {
    Delete();
    m_hObject = CreateFontIndirectA(&logFont);
    return m_hObject != nullptr;
}

void CInfoProgressBar::Font::Delete() {
    if (m_hObject != nullptr) {
        DeleteObject(m_hObject);
        m_hObject = nullptr;
    }
}

CInfoProgressBar::CInfoProgressBar()
    : m_crTextOnBar(GetSysColor(COLOR_HIGHLIGHTTEXT)),
      m_crText(GetSysColor(COLOR_WINDOWTEXT)),
      m_crBar(GetSysColor(COLOR_HIGHLIGHT)),
      m_nStep(8),
      m_nBandHeight(1),
      m_rcInner{0, 0, 0, 0} {}

// m_font deletes its font; then the base gives the control its own procedure back.
CInfoProgressBar::~CInfoProgressBar() = default;

const MessageEntry* CInfoProgressBar::GetMessageMap() const {
    static const MessageEntry kMessages[] = {
        Route(WM_PAINT, &CInfoProgressBar::OnPaint),
        kEndOfMessages,
    };
    return kMessages;
}

void CInfoProgressBar::OnSubclass() {
    // The template's placeholder text must never be seen.
    SetWindowTextA(m_hWnd, "");
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    LOGFONTA logFont;
    if (font != nullptr && GetObjectA(font, sizeof(logFont), &logFont) == static_cast<int>(sizeof(logFont))) {
        m_font.CreateIndirect(logFont);
    }
}

void CInfoProgressBar::SetColors(COLORREF crTextOnBar, COLORREF crText, COLORREF crBar) {
    m_crTextOnBar = crTextOnBar;
    m_crText = crText;
    m_crBar = crBar;
}

void CInfoProgressBar::SetGradientStep(BYTE nStep) {
    m_nStep = nStep;
}

void CInfoProgressBar::SetBandHeight(BYTE nHeight) {
    m_nBandHeight = nHeight;
}

LRESULT CInfoProgressBar::OnPaint(WPARAM, LPARAM) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    m_rcInner = ToRect(BarInnerRect(ToBar(client)));

    // The face is composed off screen and copied in one go, so no half-drawn state shows.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        const RECT whole = {0, 0, width, height};
        FillSolid(memory, whole, GetSysColor(COLOR_BTNFACE));
        DrawProgress(memory);
        BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    EndPaint(m_hWnd, &paint);
    return 0;
}

void CInfoProgressBar::DrawProgress(HDC dc) {
    const BarRect inner = ToBar(m_rcInner);
    int low = 0;
    int high = 0;
    GetRange(low, high);
    const int32_t filled = BarFilledWidth(GetPos(), low, high, inner.right - inner.left);
    const BarRect fill = BarFillRect(inner, filled);
    DrawBar(dc, ToRect(fill));

    HRGN fillRegion = CreateClipRegion(fill);
    HRGN restRegion = CreateClipRegion(BarRestRect(inner, filled));

    std::string text(static_cast<size_t>(GetWindowTextLengthA(m_hWnd)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(m_hWnd, &text[0], static_cast<int>(text.size()))));

    HGDIOBJ previousFont = m_font.m_hObject != nullptr ? SelectObject(dc, m_font.m_hObject) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    RECT textRect = m_rcInner;
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    // The same text in the same rectangle twice, clipped to each part: the colours meet at x = filled.
    SetTextColor(dc, m_crTextOnBar);
    SelectClipRgn(dc, fillRegion);
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect, format);
    SetTextColor(dc, m_crText);
    SelectClipRgn(dc, restRegion);
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect, format);
    SelectClipRgn(dc, nullptr);
    if (previousFont != nullptr) {
        SelectObject(dc, previousFont);
    }

    if (fillRegion != nullptr) {
        DeleteObject(fillRegion);
    }
    if (restRegion != nullptr) {
        DeleteObject(restRegion);
    }
}

void CInfoProgressBar::DrawBar(HDC dc, const RECT& fill) {
    const BarRect barFill = ToBar(fill);
    if (m_nStep == 0 || m_nBandHeight == 0) {
        if (!BarRectIsEmpty(barFill)) {
            FillSolid(dc, fill, m_crBar);
        }
        return;
    }
    HRGN innerRegion = CreateRectRgnIndirect(&m_rcInner);
    SelectClipRgn(dc, innerRegion);
    for (const BarBand& band : BarBands(barFill, m_crBar, m_nStep, m_nBandHeight)) {
        if (!BarRectIsEmpty(band.rect)) {
            FillSolid(dc, ToRect(band.rect), band.color);
        }
    }
    SelectClipRgn(dc, nullptr);
    if (innerRegion != nullptr) {
        DeleteObject(innerRegion);
    }
}
