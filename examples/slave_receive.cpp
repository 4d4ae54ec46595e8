// slave_receive (C++): receives data from an outside I2C master through a brg40::SlaveReceiver
// until COUNT bytes have come or 10 seconds have passed, prints each batch, and leaves the slave
// mode when the receiver ends.   slave_receive_cpp [COUNT]   (default 1)
// Exit status: 0 when the bytes came, 1 on failure or when they did not.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "brg40firmup.hpp"

int main(int argc, char** argv) {
    const unsigned long wanted = argc > 1 ? std::strtoul(argv[1], nullptr, 0) : 1;
    std::atomic<unsigned long> total{0};
    try {
        brg40::Converter converter = brg40::Converter::open();
        {
            // The function runs on the library's worker thread, one batch at a time.
            brg40::SlaveReceiver receiver =
                converter.receive(brg40::Bus::I2c, 0, 0, [&total](const brg40::SlaveBatch& batch) {
                    std::printf("Batch of %u bytes:", static_cast<unsigned>(batch.data.size()));
                    for (uint8_t b : batch.data) {
                        std::printf(" %02X", b);
                    }
                    std::printf("\n");
                    std::fflush(stdout);
                    total += batch.data.size();
                });
            for (int i = 0; i < 100 && total < wanted; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }  // the receiver ends: no more batches, the slave mode is left
        std::printf("Received %lu bytes in all\n", total.load());
        return total >= wanted ? 0 : 1;
    } catch (const brg40::Error& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
}
