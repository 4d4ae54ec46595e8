// The library-wide state: the single-open guard, the slave-mode bookkeeping and the application
// object whose construction, when the library is loaded, sets their initial values.
#ifndef BRG40_LIBRARY_STATE_H
#define BRG40_LIBRARY_STATE_H

#include <atomic>
#include <cstdint>

#include "brg40firmup.h"

namespace brg40 {

// 1 while a device opened by brg40_open is held.
extern int32_t device_open_flag;
// 1 while a handle keeps the converter in slave mode; slave receive workers poll only then.
// Atomic because a worker thread reads them while the application changes them.
extern std::atomic<int32_t> slave_mode_flag;
// The handle that last switched the slave mode on, or null.
extern std::atomic<Brg40Handle> slave_mode_owner;

}  // namespace brg40

// The library's one application object. It keeps no state of its own and does nothing when the
// library is unloaded (no handle is closed then).
class CBrg40apiApp {
public:
    CBrg40apiApp();
    ~CBrg40apiApp();
    CBrg40apiApp(const CBrg40apiApp&) = delete;
    CBrg40apiApp& operator=(const CBrg40apiApp&) = delete;
};

extern CBrg40apiApp theApp;

#endif
