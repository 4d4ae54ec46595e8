// The operating-system seam (os.h) on Linux: the converter's SCSI generic node and its SG_IO
// request, POSIX threads and sleeping. Translation only; errno becomes the Windows error number
// the statuses carry on Windows (errno_table.h), so a status means the same on both systems.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "brg40firmup.h"
#include "errno_table.h"
#include "os.h"
#include "version.h"

namespace brg40 {

namespace {

// The kernel's list of SCSI generic devices: one entry "sgN" per node /dev/sgN.
const char kScsiGenericClass[] = "/sys/class/scsi_generic";

// The numbers N of the nodes /dev/sgN, ascending.
std::vector<int> scsi_generic_numbers() {
    std::vector<int> numbers;
    DIR* dir = opendir(kScsiGenericClass);
    if (dir == nullptr) {
        return numbers;
    }
    while (const dirent* entry = readdir(dir)) {
        int n = 0;
        char rest = 0;
        if (std::sscanf(entry->d_name, "sg%d%c", &n, &rest) == 1 && n >= 0) {
            numbers.push_back(n);
        }
    }
    closedir(dir);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

int descriptor_of(OsHandle handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle)) - 1;
}

// Statuses of a request whose SG_IO call succeeded but whose transport failed.
constexpr uint8_t kHostTimeOut = 0x03;     // DID_TIME_OUT
constexpr uint8_t kCheckCondition = 0x02;  // SCSI status CHECK CONDITION
constexpr uint16_t kDriverTimeout = 0x06;  // DRIVER_TIMEOUT (low nibble of driver_status)

}  // namespace

bool os_device_candidate(int index, char* name, size_t size) {
    const std::vector<int> numbers = scsi_generic_numbers();
    if (index < 0 || static_cast<size_t>(index) >= numbers.size()) {
        return false;
    }
    const int n = std::snprintf(name, size, "/dev/sg%d", numbers[index]);
    return n > 0 && static_cast<size_t>(n) < size;
}

bool os_device_by_number(int, char*, size_t) {
    return false;  // numbers are ranks among the converters found
}

OsHandle os_open_device(const char* name, uint32_t* error) {
    // O_EXCL on an sg node is the driver's exclusive open, the counterpart of Windows' share mode
    // 0; with O_NONBLOCK a node held elsewhere fails with EBUSY at once instead of waiting. SG_IO
    // itself blocks whatever the open flags say.
    const int fd = open(name, O_RDWR | O_NONBLOCK | O_EXCL | O_CLOEXEC);
    if (fd < 0) {
        *error = windows_error_for_errno(errno);
        return nullptr;
    }
    return reinterpret_cast<OsHandle>(static_cast<intptr_t>(fd) + 1);
}

bool os_close_device(OsHandle handle) {
    return close(descriptor_of(handle)) == 0;
}

bool os_scsi_pass_through(OsHandle handle, CommandBlock* block, uint32_t* error) {
    const int fd = descriptor_of(handle);
    if (fd < 0) {
        *error = windows_error_for_errno(EBADF);  // a null handle names no descriptor
        return false;
    }
    ScsiPassThroughDirect& p = block->sptd;
    sg_io_hdr_t hdr;
    std::memset(&hdr, 0, sizeof(hdr));
    hdr.interface_id = 'S';
    hdr.cmd_len = p.CdbLength;
    hdr.cmdp = p.Cdb;
    hdr.dxfer_len = p.DataTransferLength;
    hdr.dxferp = p.DataBuffer;
    if (p.DataTransferLength == 0 || p.DataBuffer == nullptr) {
        hdr.dxfer_direction = SG_DXFER_NONE;
        hdr.dxfer_len = 0;
    } else {
        hdr.dxfer_direction = p.DataIn == kScsiDataIn ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    }
    hdr.mx_sb_len = p.SenseInfoLength;
    hdr.sbp = block->sense;  // the sense data lands where the core reads it on Windows
    hdr.timeout = p.TimeOutValue * 1000u;
    if (ioctl(fd, SG_IO, &hdr) < 0) {
        *error = windows_error_for_errno(errno);
        return false;
    }
    p.ScsiStatus = hdr.status;
    if (hdr.host_status == kHostTimeOut || (hdr.driver_status & 0x0F) == kDriverTimeout) {
        *error = BRG40_ERROR_SEM_TIMEOUT;
        return false;
    }
    if (hdr.host_status != 0) {
        *error = BRG40_ERROR_IO_DEVICE;
        return false;
    }
    if (hdr.status == kCheckCondition && hdr.sb_len_wr > 0) {
        return true;  // the core reads the sense data, as from a Windows request that completed
    }
    if (hdr.status != 0) {
        *error = BRG40_ERROR_IO_DEVICE;  // BUSY and the like, without sense data
        return false;
    }
    return true;
}

namespace {

struct ThreadStart {
    OsThreadRoutine routine;
    void* arg;
};

void* thread_entry(void* param) {
    const ThreadStart start = *static_cast<ThreadStart*>(param);
    std::free(param);
    start.routine(start.arg);
    return nullptr;
}

}  // namespace

bool os_start_thread(OsThreadRoutine routine, void* arg) {
    auto* start = static_cast<ThreadStart*>(std::malloc(sizeof(ThreadStart)));
    if (start == nullptr) {
        return false;
    }
    start->routine = routine;
    start->arg = arg;
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        std::free(start);
        return false;
    }
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);  // nobody waits for it
    pthread_t thread;
    const bool started = pthread_create(&thread, &attr, thread_entry, start) == 0;
    pthread_attr_destroy(&attr);
    if (!started) {
        std::free(start);
    }
    return started;
}

void os_sleep_ms(uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

bool os_post_message(void*, uint32_t, uintptr_t, intptr_t) {
    return false;
}

bool os_has_window_messages() {
    return false;
}

bool os_read_own_product_version(char* text, size_t size) {
    if (size == 0) {
        return false;
    }
    std::snprintf(text, size, "%s", BRG40_VERSION_TEXT);
    return true;
}

}  // namespace brg40
