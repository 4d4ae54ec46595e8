// The testbed's uevents, sent so that they never meet a client's event socket being made.
// umockdev sends each uevent to every "event<N>" socket it finds in the testbed folder and aborts
// when one it found is gone before it connects to it; a client that makes a udev monitor (libusb
// does, in each context) first unlinks an old socket of the same name and then binds its own.
// Both sides take one lock, a file lock on "uevent.lock" in the testbed folder: the testbed here,
// the clients in their bind through libbrg40sgexcl.so.
#pragma once

#include <umockdev.h>

#include <string>

namespace sim {

// umockdev_testbed_add_from_string (which sends the "add" uevents) under the lock.
void AddDevices(UMockdevTestbed* testbed, const std::string& description);

// The "remove" uevent of the device at sys, then the device taken out of the testbed.
void RemoveDevice(UMockdevTestbed* testbed, const std::string& sys);

}  // namespace sim
