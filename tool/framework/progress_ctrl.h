// CProgressCtrl: a window object over a standard progress-bar control (msctls_progress32).
#ifndef BRG40_FRAMEWORK_PROGRESS_CTRL_H
#define BRG40_FRAMEWORK_PROGRESS_CTRL_H

#include <windows.h>
#include <commctrl.h>

#include "wnd.h"

class CProgressCtrl : public CWnd {
public:
    int SetPos(int position) { return static_cast<int>(SendMessageA(m_hWnd, PBM_SETPOS, position, 0)); }
    int GetPos() const { return static_cast<int>(SendMessageA(m_hWnd, PBM_GETPOS, 0, 0)); }
    int SetStep(int step) { return static_cast<int>(SendMessageA(m_hWnd, PBM_SETSTEP, step, 0)); }
    int StepIt() { return static_cast<int>(SendMessageA(m_hWnd, PBM_STEPIT, 0, 0)); }
    void GetRange(int& low, int& high) const {
        PBRANGE range = {0, 0};
        SendMessageA(m_hWnd, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        low = range.iLow;
        high = range.iHigh;
    }
};

#endif
