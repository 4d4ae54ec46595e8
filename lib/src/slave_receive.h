// The slave receive operations: the job records, the shared receive area and the worker that
// polls the converter for data from an outside master and delivers one batch.
#ifndef BRG40_SLAVE_RECEIVE_H
#define BRG40_SLAVE_RECEIVE_H

#include <cstdint>

#include "brg40firmup.h"
#include "command_block.h"

namespace brg40 {

// The bus a worker serves, as its job record holds it.
enum SlaveBus : int32_t { kBusSpi = 0, kBusI2c = 4 };
constexpr uint32_t kSlavePollMs = 500;

struct SlaveJob {
    Brg40Handle handle;
    int32_t bus_kind;  // a SlaveBus
    int32_t delivery;  // nonzero: post a window message; 0: call the callback
    Brg40SlaveCallback callback;
    void* window;
};

// What the caller receives a pointer to (at the first data byte); stays valid after the worker.
struct alignas(kDataAlignment) SlaveReceiveArea {
    uint8_t data[BRG40_SLAVE_AREA_DATA];
    uint8_t status[4];
};
static_assert(offsetof(SlaveReceiveArea, status) == 256, "SlaveReceiveArea layout: 4 status bytes follow the data");

extern SlaveJob i2c_slave_job;
extern SlaveJob spi_slave_job;
extern SlaveReceiveArea slave_receive_area;

// Thread routine; arg is a SlaveJob allocated with new for this worker alone, which it deletes.
void slave_receive_worker(void* arg);

}  // namespace brg40

#endif
