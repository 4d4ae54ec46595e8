// The slave receive operations: brg40_i2c_read_slave, brg40_spi_transmit_slave and their worker.
#include "slave_receive.h"

#include <cstring>
#include <memory>
#include <new>

#include "library_state.h"
#include "os.h"
#include "transport.h"

namespace brg40 {

SlaveJob i2c_slave_job;
SlaveJob spi_slave_job;
SlaveReceiveArea slave_receive_area;

void slave_receive_worker(void* arg) {
    const std::unique_ptr<const SlaveJob> own(static_cast<const SlaveJob*>(arg));
    const SlaveJob& job = *own;
    if (slave_mode_flag == 0) {
        return;
    }
    const bool i2c = job.bus_kind == kBusI2c;
    const uint8_t status_command = i2c ? CMD_I2C_SLAVE_STATUS : CMD_SPI_SLAVE_STATUS;
    const uint8_t data_command = i2c ? CMD_I2C_SLAVE_DATA : CMD_SPI_SLAVE_DATA;

    // Each worker has its own status reply, so two workers never read each other's count.
    alignas(kDataAlignment) uint8_t reply[6];
    uint32_t waiting = 0;
    for (;;) {
        if (send_device_command(job.handle, status_command, 0, reply, 0, 0) != 0) {
            return;
        }
        waiting = static_cast<uint32_t>(reply[0]) << 8 | reply[1];
        if (waiting != 0) {
            break;
        }
        os_sleep_ms(kSlavePollMs);
        if (slave_mode_flag == 0) {
            return;  // the owner left the slave mode
        }
    }
    // The area holds 256 bytes: read no more than that; the rest stays waiting in the converter
    // for the next start. The count delivered is the count read.
    const uint16_t count = waiting > BRG40_SLAVE_AREA_DATA ? BRG40_SLAVE_AREA_DATA : static_cast<uint16_t>(waiting);
    if (send_device_command(job.handle, data_command, 0, slave_receive_area.data, count, 0) != 0) {
        return;
    }
    std::memcpy(slave_receive_area.status, &reply[2], sizeof(slave_receive_area.status));
    if (job.delivery != 0) {
        os_post_message(job.window, BRG40_WM_SLAVE_DATA, count, reinterpret_cast<intptr_t>(&slave_receive_area));
    } else if (job.callback != nullptr) {
        job.callback(count, slave_receive_area.data);
    }
}

}  // namespace brg40

using namespace brg40;

static int start_slave_receive(SlaveJob* job,
                               Brg40Handle handle,
                               int32_t bus_kind,
                               int delivery,
                               Brg40SlaveCallback callback,
                               void* window) {
    if (delivery != 0 && !os_has_window_messages()) {
        return BRG40_ERROR_NOT_SUPPORTED;  // no window messages on this system: nothing starts
    }
    *job = SlaveJob{handle, bus_kind, delivery, callback, window};
    // The worker gets a copy of its own: a second start right after this one rewrites the record
    // before the first worker may have looked at it.
    auto* copy = new (std::nothrow) SlaveJob(*job);
    if (copy != nullptr && !os_start_thread(slave_receive_worker, copy)) {
        delete copy;  // not started; whether it started is not reported
    }
    return BRG40_OK;
}

extern "C" int brg40_i2c_read_slave(Brg40Handle handle, int delivery, Brg40SlaveCallback callback, void* window) {
    return start_slave_receive(&i2c_slave_job, handle, kBusI2c, delivery, callback, window);
}

extern "C" int brg40_spi_transmit_slave(Brg40Handle handle, int delivery, Brg40SlaveCallback callback, void* window) {
    return start_slave_receive(&spi_slave_job, handle, kBusSpi, delivery, callback, window);
}
