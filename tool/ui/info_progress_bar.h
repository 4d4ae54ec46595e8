// CInfoProgressBar: a progress bar that paints its own face (a banded or solid bar with the
// control's window text centred over it in two colours). Position, range and step stay those
// of the standard progress control; only the painting is ours.
#ifndef BRG40_INFO_PROGRESS_BAR_H
#define BRG40_INFO_PROGRESS_BAR_H

#include <windows.h>

#include "progress_ctrl.h"

class CInfoProgressBar : public CProgressCtrl {
public:
    CInfoProgressBar();
    ~CInfoProgressBar() override;

    // Colours of the text over the bar, of the text elsewhere, and of the bar; no repaint.
    virtual void SetColors(COLORREF crTextOnBar, COLORREF crText, COLORREF crBar);
    // Change of each colour channel from one band to the next; 0 paints a solid bar. No repaint.
    virtual void SetGradientStep(BYTE nStep);
    // Height of one colour band in pixels. No repaint.
    virtual void SetBandHeight(BYTE nHeight);
    // Draws bar and text into dc for the current range, position and window text.
    virtual void DrawProgress(HDC dc);
    // Draws the bar over the fill rectangle (banded, or solid when the step is 0).
    virtual void DrawBar(HDC dc, const RECT& fill);

protected:
    const MessageEntry* GetMessageMap() const override;
    // Binding to the template's control: clears its text and copies its font.
    void OnSubclass() override;

    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);

private:
    // Owns the copy of the control's font.
    class Font {
    public:
        Font() = default;
        ~Font() { Delete(); }
        Font(const Font&) = delete;
        Font& operator=(const Font&) = delete;
        bool CreateIndirect(const LOGFONTA& logFont);
        void Delete();
        HFONT m_hObject = nullptr;
    };

    Font m_font;
    COLORREF m_crTextOnBar;
    COLORREF m_crText;
    COLORREF m_crBar;
    BYTE m_nStep;
    BYTE m_nBandHeight;
    RECT m_rcInner;
};

#endif
