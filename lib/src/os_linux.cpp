// The operating-system seam (os.h) on Linux: the converters that sysfs describes (SCSI generic
// nodes below the converter's SCSI device, with the USB device they belong to), their requests
// (written to the node and read back), POSIX threads and sleeping. Translation only; errno and
// the driver's statuses become the Windows error numbers the statuses carry on Windows
// (errno_table.h), so a status means the same on both systems.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>
#include <vector>

#include "brg40firmup.h"
#include "converter_identity.h"
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

// A sysfs attribute's text without the white space the kernel pads and ends it with; "" when
// there is none.
std::string attribute(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
        char buffer[256];
        const size_t n = std::fread(buffer, 1, sizeof buffer, f);
        std::fclose(f);
        text.assign(buffer, n);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    return text;
}

bool file_exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The SCSI device (its sysfs path) of node sgN, or "" when the system names none.
std::string scsi_device_of(int n) {
    const std::string link = std::string(kScsiGenericClass) + "/sg" + std::to_string(n) + "/device";
    char resolved[PATH_MAX];
    return realpath(link.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// A converter's SCSI device: the vendor and model, and logical unit 0 ("H:C:T:0"), so that a
// converter that shows more than one unit is still one converter.
bool is_converter_device(const std::string& device) {
    const size_t colon = device.rfind(':');
    if (device.empty() || colon == std::string::npos || device.substr(colon + 1) != "0") {
        return false;
    }
    // sysfs gives INQUIRY's fields space-padded, as attribute() trims them.
    if (attribute(device + "/vendor") != kConverterVendor) {
        return false;
    }
    const std::string model = attribute(device + "/model");
    return std::any_of(std::begin(kConverterProducts), std::end(kConverterProducts),
                       [&model](const char* m) { return model == m; });
}

void copy_text(char* out, size_t size, const std::string& text) {
    std::snprintf(out, size, "%s", text.c_str());
}

// The USB device a SCSI device belongs to: the nearest folder above it that has a USB vendor ID
// (its name is the port path, "1-2.3"). Fills serial and path; both stay "" when there is none.
void usb_identity(const std::string& device, OsUnit& unit) {
    for (std::string dir = device; dir.size() > 1;) {
        dir.resize(dir.rfind('/'));
        if (file_exists(dir + "/idVendor")) {
            copy_text(unit.path, sizeof unit.path, dir.substr(dir.rfind('/') + 1));
            copy_text(unit.serial, sizeof unit.serial, attribute(dir + "/serial"));
            return;
        }
    }
}

int descriptor_of(OsHandle handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle)) - 1;
}

constexpr uint8_t kCheckCondition = 0x02;  // SCSI status CHECK CONDITION

// The pack_id of this process's next request: unique among the requests in flight, so that a
// reply is read only by the call that sent its request (a slave receive worker and the
// application may both wait on one descriptor).
int next_pack_id() {
    static std::atomic<uint32_t> last{0};
    return static_cast<int>(++last & 0x7FFFFFFFu);  // -1 would ask for any reply
}

// Waits for the reply to hdr's request and reads it into hdr (the driver writes back the whole
// header). A signal interrupts only the wait, never the request, which stays queued in the
// driver: the wait simply starts again. False, with the Windows error in *error, when the reply
// cannot be read (the converter went away: ENODEV).
// Shown only on a real PC: a poll() that sleeps until the reply comes or reports the hang-up, and
// a signal that ends it or the read() early. The emulated nodes of the tests are always ready and cannot be
// interrupted; there the read fails with EINTR or EAGAIN on purpose instead (sim/linux/mock_sg.h).
bool collect_reply(int fd, sg_io_hdr_t& hdr, uint32_t* error) {
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        // No time-out of our own: the driver ends every request by hdr.timeout.
        const int n = poll(&ready, 1, -1);
        if (n < 0 && errno != EINTR) {
            *error = windows_error_for_errno(errno);
            return false;
        }
        if (n > 0 && (ready.revents & POLLNVAL) != 0) {
            *error = windows_error_for_errno(EBADF);  // closed meanwhile
            return false;
        }
        if (n < 0) {
            continue;  // a signal: look again
        }
        // POLLIN (a reply is there, maybe another request's) or POLLHUP (the device is going,
        // and read says whether our reply came before): ask for ours by its pack_id.
        if (read(fd, &hdr, sizeof(hdr)) >= 0) {
            return true;
        }
        if (errno == EAGAIN && (ready.revents & POLLHUP) != 0) {
            // The converter is going away before our reply came. The driver stops waiting here
            // too (SG_IO ends with ENODEV); looking again would only spin, as poll() keeps
            // reporting the hang-up.
            *error = windows_error_for_errno(ENODEV);
            return false;
        }
        if (errno == EAGAIN) {
            sched_yield();  // another call's reply woke us: let it take its reply first
        } else if (errno != EINTR) {
            *error = windows_error_for_errno(errno);
            return false;
        }
    }
}

}  // namespace

bool os_device_candidate(int, char*, size_t) {
    return false;  // the converters are the nodes sysfs describes (os_described_units)
}

bool os_device_by_number(int, char*, size_t) {
    return false;  // numbers are ranks among the described converters
}

int os_described_units(OsUnit* units, int max) {
    int count = 0;
    for (int n : scsi_generic_numbers()) {
        if (count >= max) {
            break;
        }
        const std::string device = scsi_device_of(n);
        if (!is_converter_device(device)) {
            continue;
        }
        OsUnit& unit = units[count++];
        unit = OsUnit{};
        std::snprintf(unit.node, sizeof unit.node, "/dev/sg%d", n);
        copy_text(unit.device, sizeof unit.device, device);
        usb_identity(device, unit);
    }
    return count;
}

bool os_same_unit(const OsUnit& unit) {
    int n = -1;
    if (std::sscanf(unit.node, "/dev/sg%d", &n) != 1) {
        return false;
    }
    const std::string device = scsi_device_of(n);
    return device == unit.device && is_converter_device(device);
}

bool os_resolve_node(const char* name, char* resolved, size_t size) {
    // Link by link (udev's are relative: "../../sg2"), with "." and ".." taken out as text.
    std::string path = name;
    for (int depth = 0;; ++depth) {
        char target[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), target, sizeof(target) - 1);
        if (n < 0) {
            break;  // not a link (or not there): this is the node
        }
        if (depth == 16) {
            return false;  // a loop
        }
        target[n] = '\0';
        path = target[0] == '/' ? std::string(target) : path.substr(0, path.rfind('/') + 1) + target;
    }
    std::vector<std::string> parts;
    for (size_t start = 0; start < path.size();) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts) {
        out += "/" + part;
    }
    const int n = std::snprintf(resolved, size, "%s", out.c_str());
    return path[0] == '/' && n > 0 && static_cast<size_t>(n) < size;
}

OsHandle os_open_device(const char* name, uint32_t* error) {
    // O_EXCL on an sg node is the driver's exclusive open, the counterpart of Windows' share mode
    // 0; with O_NONBLOCK a node held elsewhere fails with EBUSY at once instead of waiting. It
    // also makes read() of a reply that is not there yet fail with EAGAIN: the waiting is poll()'s.
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
    hdr.pack_id = next_pack_id();
    // Replies are read by pack_id from here on. This also tells a SCSI generic node from any
    // other file (ENOTTY) before anything is written to it: a descriptor number that the
    // application has meanwhile given to a file of its own is refused, not written into.
    int by_pack_id = 1;
    if (ioctl(fd, SG_SET_FORCE_PACK_ID, &by_pack_id) < 0) {
        *error = windows_error_for_errno(errno);
        return false;
    }
    // The request goes out once, by write(), which queues it and returns: nothing the caller's
    // signals do can send it again. (SG_IO would: a signal ends the ioctl with -ERESTARTSYS while
    // the request runs on, and with SA_RESTART the same request is sent a second time.)
    const ssize_t written = write(fd, &hdr, sizeof(hdr));
    if (written != static_cast<ssize_t>(sizeof(hdr))) {
        *error = windows_error_for_errno(written < 0 ? errno : EIO);
        return false;
    }
    if (!collect_reply(fd, hdr, error)) {
        return false;
    }
    p.ScsiStatus = hdr.status;
    // A failure below the SCSI device is one even when the SCSI status says GOOD: the command
    // may not have run.
    const uint32_t failure = windows_error_for_sg_status(hdr.host_status, hdr.driver_status);
    if (failure != 0) {
        *error = failure;
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
    // The worker starts with every signal blocked (a new thread inherits its creator's mask), so
    // that the application's signals go to the application's own threads and never interrupt a
    // worker's request; the caller's mask is put back at once.
    sigset_t all;
    sigset_t caller;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &caller);
    pthread_t thread;
    const bool started = pthread_create(&thread, &attr, thread_entry, start) == 0;
    pthread_sigmask(SIG_SETMASK, &caller, nullptr);
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
