// Waiting for converters to be plugged in or out, for brg40 fw update --watch. One implementation
// per platform (device_arrivals_linux.cpp: udev's events; device_arrivals_win32.cpp: a short poll).
#ifndef BRG40_CLI_DEVICE_ARRIVALS_H
#define BRG40_CLI_DEVICE_ARRIVALS_H

#include <functional>
#include <memory>

class DeviceArrivals {
public:
    DeviceArrivals();
    ~DeviceArrivals();
    DeviceArrivals(const DeviceArrivals&) = delete;
    DeviceArrivals& operator=(const DeviceArrivals&) = delete;

    // Returns when a device came or went, stop() is true, or seconds have passed (where the system
    // tells no arrivals, always the latter: the caller lists the devices again either way).
    void Wait(double seconds, const std::function<bool()>& stop);
    // Whether the system tells arrivals (else Wait only waits, and the caller polls).
    bool Events() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

#endif
