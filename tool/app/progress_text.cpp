// Progress bar colours, steps and texts of the programming run and of the closing check.
#include "progress_text.h"

#include <algorithm>
#include <cstdio>

void ShowBarWaiting(DialogFace& face) {
    face.SetBarPos(0);
    face.SetBarText("please waiting...");
    face.RedrawBar();
}

void ShowBarCompleted(DialogFace& face) {
    face.SetBarText("Completed!!");
    face.RedrawBar();
}

void StartBarPhase(DialogFace& face, BarPhase phase) {
    const BarColor bar = phase == BarPhase::Erase   ? SysColor(kColorHighlight)
                         : phase == BarPhase::Write ? FixedColor(0x33CC66)   // red 0x66, green 0xCC, blue 0x33
                                                    : FixedColor(0x0033FF);  // red 0xFF, green 0x33, blue 0x00
    face.SetBarColors(SysColor(kColorHighlightText), SysColor(kColorWindowText), bar);
    face.SetBarPos(0);
    face.SetBarText("");
    face.RedrawBar();
}

void AdvanceBar(DialogFace& face, BarPhase phase, int percent) {
    // A file shorter than the image drives the write percentage past 100; the progress control
    // would wrap to the start on a step beyond its range, so the bar stops at its top.
    if (std::min(percent, kBarMaximum) > face.GetBarPos()) {
        face.StepBar();
    }
    char text[32];
    const int position = face.GetBarPos();
    switch (phase) {
        case BarPhase::Erase:
            std::snprintf(text, sizeof text, "Erase Flash %03d%%", position);
            break;
        case BarPhase::Write:
            std::snprintf(text, sizeof text, "Write Flash %03d%%", position);
            break;
        case BarPhase::Close:
            std::snprintf(text, sizeof text, "close session... %03d%%", position);
            break;
    }
    face.SetBarText(text);
}
