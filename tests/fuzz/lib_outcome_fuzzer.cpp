// libFuzzer target for the library's handling of request outcomes: every pass-through request
// comes back through the OS seam as the input says (success with data, a failure with any error
// number, zero included, and sense data of any content), for a sequence of exports the input
// chooses, the slave receive worker included. The data the seam writes fills exactly the length
// each request declares (ASan watches the buffers), and every status is one the library defines:
// 0 only when every request of the call succeeded without sense data.
#include <cstdint>
#include <cstring>
#include <new>

#include "brg40firmup.h"
#include "fuzz_support.h"
#include "library_state.h"
#include "os.h"
#include "slave_receive.h"

namespace {

struct Input {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    uint8_t Next() { return pos < size ? data[pos++] : 0xFF; }
    bool Done() const { return pos >= size; }
};
Input g_in;
int g_failedRequests = 0;  // of the current call

bool KnownStatus(int status) {
    switch (status) {
        case BRG40_OK:
        case BRG40_NO_DEVICE:
        case BRG40_ALREADY_OPEN:
        case BRG40_BAD_MODE:
        case BRG40_SLAVE_MODE_EX_ONLY:
        case BRG40_DEVICE_ERROR:
        case BRG40_DEVICE_ERROR_1:
        case BRG40_DEVICE_ERROR_2:
        case BRG40_DEVICE_ERROR_3:
        case BRG40_DEVICE_ERROR_4:
        case BRG40_DEVICE_ERROR_5:
        case BRG40_DEVICE_ERROR_6:
        case BRG40_DEVICE_DETAIL:
            return true;
        default:
            return status > 0;  // a Windows error number
    }
}

void CheckCall(int status) {
    Check(KnownStatus(status), "a status the library defines");
    Check(status != 0 || g_failedRequests == 0, "0 only when every request succeeded");
    Check(g_failedRequests == 0 || status != 0, "a failed request never gives 0");
    g_failedRequests = 0;
}

int CountDelivery(unsigned count, unsigned char*) {
    Check(count <= BRG40_SLAVE_AREA_DATA, "a batch fits the receive area");
    return 0;
}

}  // namespace

namespace brg40 {

OsHandle os_open_device(const char*, uint32_t* error) {
    if (g_in.Next() % 8 == 0) {
        *error = 2;
        return nullptr;
    }
    return reinterpret_cast<OsHandle>(static_cast<uintptr_t>(0x100));
}

bool os_close_device(OsHandle) {
    return true;
}

bool os_scsi_pass_through(OsHandle, CommandBlock* block, uint32_t* error) {
    const uint8_t kind = g_in.Done() ? 1 : g_in.Next();
    const ScsiPassThroughDirect& p = block->sptd;
    if (p.DataIn == kScsiDataIn && p.DataBuffer != nullptr) {
        auto* bytes = static_cast<uint8_t*>(p.DataBuffer);
        for (uint32_t i = 0; i < p.DataTransferLength; ++i) {
            bytes[i] = g_in.Next();
        }
    }
    bool sense = false;
    if (kind & 2) {
        for (uint32_t i = 0; i < kSenseInfoLength; ++i) {
            block->sense[i] = g_in.Next();
        }
        sense = (block->sense[2] & 0x0F) != 0;
    }
    const bool failed = (kind & 1) != 0;
    if (failed || sense) {
        ++g_failedRequests;
    }
    if (failed) {
        *error = static_cast<uint32_t>(g_in.Next()) << 8 | g_in.Next();  // 0 too
        return false;
    }
    return true;
}

bool os_start_thread(OsThreadRoutine, void*) {
    return false;  // the worker is run on this thread below
}

void os_sleep_ms(uint32_t) {}

bool os_has_window_messages() {
    return true;
}

bool os_post_message(void*, uint32_t, uintptr_t, intptr_t) {
    return true;
}

bool os_read_own_product_version(char* text, size_t size) {
    const size_t n = g_in.Next() % 24;
    size_t i = 0;
    for (; i + 1 < size && i < n; ++i) {
        text[i] = static_cast<char>(g_in.Next());
    }
    text[i] = '\0';
    return true;
}

}  // namespace brg40

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    g_in = Input{data, size, 0};
    g_failedRequests = 0;
    brg40::device_open_flag = 0;
    brg40::slave_mode_flag = 0;

    int count = 0;
    int numbers[9] = {};
    int status = brg40_find_device(&count, numbers);
    Check(status == 0 || status == BRG40_NO_DEVICE, "search status");
    Check(status != 0 || (count >= 1 && count <= 9), "device count");
    g_failedRequests = 0;  // the search treats failed INQUIRYs as "not a converter"
    Brg40Handle h = brg40_open_ex(1 + g_in.Next() % 9, &status);
    if (h == nullptr) {
        return 0;
    }

    while (!g_in.Done()) {
        const uint8_t op = g_in.Next();
        const uint8_t a = g_in.Next();
        alignas(16) unsigned char buffer[512];
        std::memset(buffer, 0xA5, sizeof buffer);
        const unsigned short length = static_cast<unsigned short>(1 + a % 255);  // a length of 1 moves 2 bytes
        unsigned char major = 0, minor = 0;
        switch (op % 14) {
            case 0:
                status = brg40_get_fw_version(h, &major, &minor);
                Check(status == 0 || (major == 0xFF && minor == 0xFF), "version preset on failure");
                break;
            case 1: {
                Brg40HwInfo info = {};
                status = brg40_get_hw_info(h, &info);
                Check(info.flag2 <= 2 && info.flag1 <= 1 && (info.bits6 & ~6) == 0, "hardware bits");
                break;
            }
            case 2:
                status = brg40_gpo_read(h, buffer);
                break;
            case 3:
                status = brg40_i2c_read_master(h, a, a, length, buffer);
                break;
            case 4:
                status = brg40_eeprom_read(h, length, buffer);
                break;
            case 5:
                status = brg40_debug_pic_read(h, a, buffer);
                break;
            case 6: {
                unsigned short actual = 0;
                status = brg40_spi_set_freq(h, a, static_cast<unsigned short>(a * 97), &actual);
                Check(status == 0 || actual == 0xFFFF, "frequency preset on failure");
                break;
            }
            case 7:
                status = brg40_spi_transmit_master(h, a, length, buffer, buffer + 256);
                break;
            case 8:
                status = brg40_mode_change(h, a, a);
                break;
            case 9:
                status = brg40_power_control(h, a);
                break;
            case 10:
                status = brg40_i2c_set_freq(h, a);
                break;
            case 11:
                status = brg40_get_dll_version(h, &major, &minor);
                Check(status == 0 || status == BRG40_DEVICE_ERROR, "library version status");
                break;
            default: {
                // The worker polls until data waits, the mode ends or a request fails.
                brg40::slave_mode_flag = 1;
                auto* job = new (std::nothrow)
                    brg40::SlaveJob{h, op & 1 ? brg40::kBusI2c : brg40::kBusSpi, 0, CountDelivery, nullptr};
                if (job != nullptr) {
                    brg40::slave_receive_worker(job);
                }
                brg40::slave_mode_flag = 0;
                g_failedRequests = 0;  // the worker reports nothing
                continue;
            }
        }
        CheckCall(status);
    }
    brg40_close(h);
    return 0;
}
