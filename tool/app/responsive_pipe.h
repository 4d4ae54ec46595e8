// The update pipe as the dialog's thread uses it: after each reply the thread looks at its message
// queue, so that Windows never takes the window for hung during a run or a close.
#ifndef BRG40_APP_RESPONSIVE_PIPE_H
#define BRG40_APP_RESPONSIVE_PIPE_H

#include <windows.h>

#include "update_pipe.h"

// A run or a close blocks the dialog's thread for 10 to 25 s of exchanges. Windows marks a window
// whose thread has not looked at its queue for 5 s as not responding, draws a ghost over it and
// offers to close the program, which in the middle of an erase would leave the converter without
// its application. PeekMessage with PM_NOREMOVE takes no input out of the queue (clicks and keys
// wait until the run is over, as before); it only lets Windows deliver what other threads send to
// our windows, which the dialog declines while it exchanges (see CBrg40FirmupDlg::m_bExchanging).
// Wine has no ghost windows; the closest test is another process asking the dialog for an answer
// while it works (the tool's Wine suite).
class ResponsivePipe : public UpdatePipe {
public:
    explicit ResponsivePipe(UpdatePipe& pipe) : m_pipe(pipe) {}
    int Write(const uint8_t* data, uint32_t size) override { return m_pipe.Write(data, size); }
    int Read(uint8_t* data, uint32_t size) override {
        const int result = m_pipe.Read(data, size);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        return result;
    }
    std::string DeviceId() override { return m_pipe.DeviceId(); }

private:
    UpdatePipe& m_pipe;
};

#endif
