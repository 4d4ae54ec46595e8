// The emulated machine behind the library suites on Linux (umock_support.cpp), for the tests
// that make a node behave as the kernel may: its testbed, and the node of each bench number.
#ifndef BRG40_TESTS_UMOCK_NODES_H
#define BRG40_TESTS_UMOCK_NODES_H

#include "mock_sg.h"

namespace support {

// Made by the first reset() and kept for the process.
UMockdevTestbed* testbed();
// The node /dev/sg(lpt - 1) through which the device attached at lpt is reached.
sim::MockSg& node(int lpt);

}  // namespace support

#endif
