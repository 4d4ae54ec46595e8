// The library-wide globals and the application object that initialises them at load time.
#include "library_state.h"

namespace brg40 {

int32_t device_open_flag;
std::atomic<int32_t> slave_mode_flag;
std::atomic<Brg40Handle> slave_mode_owner;

}  // namespace brg40

CBrg40apiApp::CBrg40apiApp() {
    brg40::device_open_flag = 0;
    brg40::slave_mode_flag = 0;
    brg40::slave_mode_owner = nullptr;
}

CBrg40apiApp::~CBrg40apiApp() = default;

CBrg40apiApp theApp;
