// What the programming run and the closing check need from the main dialog: message boxes from
// the string table, the progress bar, and the conversion check box.
#ifndef BRG40_DIALOG_FACE_H
#define BRG40_DIALOG_FACE_H

#include <cstdint>

// Message box kinds (the MessageBox style bits; the Windows side checks them against windows.h).
enum BoxKind : uint32_t {
    kBoxWarning = 0x30,      // MB_OK | MB_ICONEXCLAMATION
    kBoxInformation = 0x40,  // MB_OK | MB_ICONINFORMATION
    kBoxQuestion = 0x124,    // MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2
};

// Answers of a message box (IDOK, IDYES, IDNO).
enum BoxAnswer : int { kAnswerOk = 1, kAnswerYes = 6, kAnswerNo = 7 };

// A bar colour: either a system colour index (resolved with GetSysColor when it is applied) or
// a fixed 0x00BBGGRR value.
struct BarColor {
    bool system;
    uint32_t value;
};
constexpr BarColor SysColor(uint32_t index) {
    return {true, index};
}
constexpr BarColor FixedColor(uint32_t colorref) {
    return {false, colorref};
}
constexpr uint32_t kColorWindowText = 8;      // COLOR_WINDOWTEXT
constexpr uint32_t kColorHighlight = 13;      // COLOR_HIGHLIGHT
constexpr uint32_t kColorHighlightText = 14;  // COLOR_HIGHLIGHTTEXT

class DialogFace {
public:
    virtual ~DialogFace() = default;

    // Loads text text_id and caption caption_id from the string table and shows a message box
    // of the given kind owned by the main dialog; returns the answer. When the text is a format
    // (text 114), it is filled with "%X" major and "%02X" minor: pass has_version = true.
    virtual int ShowMessage(unsigned text_id,
                            unsigned caption_id,
                            BoxKind kind,
                            bool has_version = false,
                            unsigned major = 0,
                            unsigned minor = 0) = 0;

    // The progress bar (a standard progress control: range 0 to 100, step 1).
    virtual void SetBarColors(BarColor text_on_bar, BarColor text, BarColor bar) = 0;
    virtual void SetBarPos(int position) = 0;       // PBM_SETPOS
    virtual int GetBarPos() = 0;                    // PBM_GETPOS
    virtual void StepBar() = 0;                     // PBM_STEPIT
    virtual void SetBarText(const char* text) = 0;  // the bar's window text
    virtual void RedrawBar() = 0;                   // RedrawWindow with RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW

    // Check state of the conversion check box (control 1007): true only when BST_CHECKED.
    virtual bool IsConversionChecked() = 0;
};

#endif
