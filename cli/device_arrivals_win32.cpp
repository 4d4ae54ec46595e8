// Arrivals on Windows: a console program has no window to receive device notifications in, so
// brg40 looks again at least once a second (the caller lists the converters after each wait).
#include "device_arrivals.h"

#include <windows.h>

struct DeviceArrivals::Impl {};

DeviceArrivals::DeviceArrivals() : m_impl(new Impl) {}

DeviceArrivals::~DeviceArrivals() = default;

bool DeviceArrivals::Events() const {
    return false;
}

void DeviceArrivals::Wait(double seconds, const std::function<bool()>& stop) {
    for (double waited = 0; waited < seconds && !stop(); waited += 0.1) {
        Sleep(100);
    }
}
