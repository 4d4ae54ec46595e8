// How the programming run and the closing check move the progress bar: percentages, one step at a
// time, and the texts that show the bar's position.
#ifndef BRG40_PROGRESS_TEXT_H
#define BRG40_PROGRESS_TEXT_H

#include "dialog_face.h"

enum class BarPhase { Erase, Write, Close };

constexpr int kBarMaximum = 100;  // the bar keeps the control's default range 0 to 100

// done / whole x 100 in floating point, truncated toward zero.
inline int ProgressPercent(double done, double whole) {
    return static_cast<int>(done / whole * 100.0);
}

// Before the first exchange of a run: position 0, "please waiting...", a full redraw.
void ShowBarWaiting(DialogFace& face);
// After the last write: "Completed!!" and a full redraw.
void ShowBarCompleted(DialogFace& face);

// Starts a phase: its colours, position 0, an empty text, a full redraw.
void StartBarPhase(DialogFace& face, BarPhase phase);

// After one block of work: one step when percent is ahead of the bar, then the phase's text with
// the bar's position ("Erase Flash %03d%%", "Write Flash %03d%%", "close session... %03d%%").
void AdvanceBar(DialogFace& face, BarPhase phase, int percent);

#endif
