// The emulated SCSI generic node: requests written to it (or sent by SG_IO) carried to a
// simulated device, and their replies read back.
#include "mock_sg.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "errno_table.h"
#include "uevent_lock.h"

namespace sim {

namespace {

constexpr uint8_t kCheckCondition = 0x02;
constexpr uint8_t kDriverSense = 0x08;

// The root hub: hub class, one configuration with the hub interface and its status endpoint.
const char kHubDescriptors[] =
    "12010002090001406b1d0200060603020101"  // device
    "09021900010100e000"                    // configuration 1
    "090400000109000000"                    // interface 0, hub class
    "0705810304000c";                       // interrupt IN 0x81

// The converter in normal mode as a USB device: a mass-storage device of the maker, whose SCSI
// device is the converter. Nothing goes by this product ID: the library knows the converter by
// its SCSI vendor and model, brg40 by the USB serial and port.
const char kNormalVendor[] = "1f3a";
const char kNormalProduct[] = "0c23";
const char kStorageDescriptors[] =
    "12010002000000403a1f230c000100000001"  // device
    "090220000101008032"                    // configuration 1, 32 bytes in all
    "090400000208065000"                    // interface 0: mass storage, SCSI, bulk only
    "07058102400000"                        // bulk IN 0x81
    "07050202400000";                       // bulk OUT 0x02

}  // namespace

int errno_for_failure(uint32_t windows_error) {
    if (windows_error == BRG40_ERROR_GEN_FAILURE) {
        return EPROTO;  // any errno the library has no row for
    }
    // The reverse of the library's table: the first errno that it reads as this error.
    size_t count = 0;
    const brg40::ErrnoRow* rows = brg40::errno_rows(&count);
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].windows_error == windows_error) {
            return rows[i].unix_errno;
        }
    }
    return EIO;  // as the kernel would report an error that no errno stands for
}

ScsiRequest request_from_sg(const sg_io_hdr& hdr, uint8_t* data) {
    ScsiRequest r;
    r.cdb_length = hdr.cmd_len > sizeof(r.cdb) ? sizeof(r.cdb) : hdr.cmd_len;
    r.direction = hdr.dxfer_direction == SG_DXFER_FROM_DEV ? Direction::In : Direction::Out;
    r.transfer_length = hdr.dxfer_direction == SG_DXFER_NONE ? 0 : hdr.dxfer_len;
    r.timeout_s = hdr.timeout / 1000;
    r.data = r.transfer_length != 0 ? data : nullptr;
    return r;
}

int apply_sg_reply(const ScsiReply& reply, sg_io_hdr& hdr, uint8_t* sense) {
    if (reply.os_error != 0) {
        return errno_for_failure(reply.os_error);
    }
    hdr.status = 0;
    hdr.masked_status = 0;
    hdr.host_status = 0;
    hdr.driver_status = 0;
    hdr.sb_len_wr = 0;
    hdr.resid = 0;
    hdr.info = SG_INFO_OK;
    if ((reply.sense[2] & 0x0F) != 0) {
        hdr.status = kCheckCondition;
        hdr.masked_status = kCheckCondition >> 1;
        hdr.driver_status = kDriverSense;
        hdr.info = SG_INFO_CHECK;
        const size_t n = hdr.mx_sb_len < sizeof(reply.sense) ? hdr.mx_sb_len : sizeof(reply.sense);
        if (sense != nullptr) {
            std::memcpy(sense, reply.sense, n);
            hdr.sb_len_wr = static_cast<unsigned char>(n);
        }
    }
    return 0;
}

std::string sys_dir(UMockdevTestbed* testbed) {
    gchar* dir = umockdev_testbed_get_sys_dir(testbed);
    const std::string text = dir != nullptr ? dir : "";
    g_free(dir);
    return text;
}

std::string root_hub(UMockdevTestbed* testbed, int bus) {
    const std::string b = std::to_string(bus);
    const std::string path = "/devices/pci0000:00/0000:00:14.0/usb" + b;
    const std::string dir = sys_dir(testbed) + path;
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        char node[32];
        std::snprintf(node, sizeof(node), "bus/usb/%03d/001", bus);
        const std::string hub = "P: " + path + "\nN: " + node + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n" +
                                "E: DRIVER=usb\nE: BUSNUM=" + b + "\nE: DEVNUM=001\nE: DEVNAME=/dev/" + node +
                                "\nA: busnum=" + b + "\\n\nA: devnum=1\\n\nA: speed=480\\n\n" +
                                "A: bConfigurationValue=1\\n\nH: descriptors=" + kHubDescriptors + "\n";
        AddDevices(testbed, hub);
    }
    return path;
}

int next_usb_address() {
    static std::atomic<int> address{1};  // the root hubs have 1
    return ++address;
}

MockSg::MockSg(UMockdevTestbed* testbed, int number, const SgPlace& place, Answer answer, bool present)
    : m_testbed(testbed),
      m_number(number),
      m_answer(std::move(answer)),
      m_handler(umockdev_ioctl_base_new()),
      m_place(place),
      m_devnode("/dev/sg" + std::to_string(number)) {
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(OnIoctl), this);
    g_signal_connect(m_handler, "handle-write", G_CALLBACK(OnWrite), this);
    g_signal_connect(m_handler, "handle-read", G_CALLBACK(OnRead), this);
    // The handler first, so that the node answers as soon as the "add" uevent is out. It stays
    // attached for the object's life. The node is a plain file (given contents), not a terminal,
    // so that the testbed can make it again when the device comes back.
    umockdev_testbed_attach_ioctl(m_testbed, m_devnode.c_str(), m_handler, nullptr);
    if (present) {
        arrive(place);
    }
}

MockSg::~MockSg() {
    leave();
    umockdev_testbed_detach_ioctl(m_testbed, m_devnode.c_str(), nullptr);
    g_object_unref(m_handler);
}

void MockSg::arrive(const SgPlace& place) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_present) {
        return;
    }
    m_place = place;
    const std::string n = std::to_string(m_number);
    const std::string h = std::to_string(m_number + 1);  // one SCSI host per USB storage device
    const std::string bus = place.port.substr(0, place.port.find('-'));
    m_usbPath = root_hub(m_testbed, std::stoi(bus)) + "/" + place.port;
    m_scsiPath = m_usbPath + "/" + place.port + ":1.0/host" + h + "/target" + h + ":0:0/" + h +
                 ":0:0:" + std::to_string(place.lun);
    m_sgPath = m_scsiPath + "/scsi_generic/sg" + n;
    char padded[64];
    std::snprintf(padded, sizeof padded, "A: vendor=%-8s\\n\nA: model=%-16s\\n\nA: rev=1.00\\n\n", place.vendor.c_str(),
                  place.product.c_str());
    const std::string address = std::to_string(next_usb_address());
    const std::string usb =
        "P: " + m_usbPath + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=" + bus +
        "\nE: DEVNUM=" + address + "\nA: busnum=" + bus + "\\n\nA: devnum=" + address +
        "\\n\nA: speed=12\\n\nA: idVendor=" + kNormalVendor + "\\n\nA: idProduct=" + kNormalProduct + "\\n\n" +
        (place.serial.empty() ? "" : "A: serial=" + place.serial + "\\n\n") +
        "A: bConfigurationValue=1\\n\nH: descriptors=" + kStorageDescriptors + "\n";
    const std::string scsi =
        "P: " + m_scsiPath + "\nE: SUBSYSTEM=scsi\nE: DEVTYPE=scsi_device\n" + padded + "A: type=0\\n\n";
    const std::string sg = "P: " + m_sgPath + "\nN: sg" + n + "=00\nE: DEVNAME=" + m_devnode +
                           "\nE: SUBSYSTEM=scsi_generic\nE: MAJOR=21\nE: MINOR=" + n + "\nA: dev=21:" + n + "\\n\n";
    AddDevices(m_testbed, usb);
    AddDevices(m_testbed, scsi);
    // The kernel links the sg node's entry to the SCSI device above it; umockdev does not.
    const std::string link = sys_dir(m_testbed) + m_sgPath + "/device";
    const std::string dir = link.substr(0, link.rfind('/'));
    g_mkdir_with_parents(dir.c_str(), 0755);
    unlink(link.c_str());
    if (symlink("../..", link.c_str()) != 0) {
        std::fprintf(stderr, "brg40sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
    }
    AddDevices(m_testbed, sg);
    m_present = true;
}

void MockSg::leave() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_present.exchange(false)) {
        return;
    }
    // The node first, then what it hung from, as the kernel takes a device off the bus.
    for (const std::string* path : {&m_sgPath, &m_scsiPath, &m_usbPath}) {
        RemoveDevice(m_testbed, "/sys" + *path);
    }
    // umockdev leaves the node's /sys/dev/char link, which must name the next device there.
    unlink((sys_dir(m_testbed) + "/dev/char/21:" + std::to_string(m_number)).c_str());
}

// What one open file of the node holds, as the driver keeps it per descriptor: whether read()
// picks replies by pack_id, and the requests that have completed and wait to be read. It lives
// as long as umockdev's client of that open file.
struct MockSg::OpenFile {
    struct Done {
        sg_io_hdr hdr;              // as written, with the driver's outputs filled in
        std::vector<uint8_t> data;  // what a data-in request brought
        uint8_t sense[sizeof(ScsiReply::sense)];
    };
    bool by_pack_id = false;
    std::deque<Done> done;
};

MockSg::OpenFile& MockSg::FileOf(UMockdevIoctlClient* client) {
    static const char kKey[] = "brg40-sg-file";
    auto* file = static_cast<OpenFile*>(g_object_get_data(G_OBJECT(client), kKey));
    if (file == nullptr) {
        file = new OpenFile;
        g_object_set_data_full(G_OBJECT(client), kKey, file, [](gpointer f) { delete static_cast<OpenFile*>(f); });
    }
    return *file;
}

gboolean MockSg::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<MockSg*>(self)->HandleIoctl(client);
    return TRUE;
}

gboolean MockSg::OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<MockSg*>(self)->HandleWrite(client);
    return TRUE;
}

gboolean MockSg::OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<MockSg*>(self)->HandleRead(client);
    return TRUE;
}

void MockSg::complete_next_with(const SgStatuses& statuses) {
    std::lock_guard<std::mutex> lock(m_faultMutex);
    m_nextStatuses.push_back(statuses);
}

void MockSg::disturb_waits(const std::vector<int>& errnos) {
    std::lock_guard<std::mutex> lock(m_faultMutex);
    m_waitErrors.insert(m_waitErrors.end(), errnos.begin(), errnos.end());
}

uint32_t MockSg::waits_disturbed() {
    std::lock_guard<std::mutex> lock(m_faultMutex);
    return m_waitsDisturbed;
}

void MockSg::clear_faults() {
    std::lock_guard<std::mutex> lock(m_faultMutex);
    m_nextStatuses.clear();
    m_waitErrors.clear();
}

int MockSg::Run(sg_io_hdr& hdr, const uint8_t* cdb, uint8_t* data, uint8_t* sense) {
    ScsiRequest request = request_from_sg(hdr, data);
    if (cdb != nullptr) {
        std::memcpy(request.cdb, cdb, request.cdb_length);
    }
    ScsiReply reply;
    if (!m_present || !m_answer(request, reply)) {
        return ENODEV;
    }
    const int error = apply_sg_reply(reply, hdr, sense);
    std::lock_guard<std::mutex> lock(m_faultMutex);
    if (error == 0 && !m_nextStatuses.empty()) {
        const SgStatuses s = m_nextStatuses.front();
        m_nextStatuses.pop_front();
        hdr.host_status = s.host_status;
        hdr.driver_status = s.driver_status;
        if (s.scsi_status >= 0) {
            hdr.status = static_cast<unsigned char>(s.scsi_status);
            hdr.masked_status = static_cast<unsigned char>((s.scsi_status >> 1) & 0x7F);
        }
        hdr.info = hdr.status != 0 || hdr.host_status != 0 || hdr.driver_status != 0 ? SG_INFO_CHECK : SG_INFO_OK;
    }
    return error;
}

// SG_IO, the request and its reply in one call, and the descriptor's pack_id switch.
void MockSg::HandleIoctl(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (request == SG_SET_FORCE_PACK_ID) {
        UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
        if (value == nullptr) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
        int on = 0;
        std::memcpy(&on, value->data, sizeof on);
        FileOf(client).by_pack_id = on != 0;
        umockdev_ioctl_data_unref(value);
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    if (request != SG_IO) {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return;
    }
    UMockdevIoctlData* header = umockdev_ioctl_data_resolve(arg, 0, sizeof(sg_io_hdr), nullptr);
    if (header == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    sg_io_hdr hdr;
    std::memcpy(&hdr, header->data, sizeof(hdr));
    // The caller's buffers, each brought over at its length (null when the caller gave none).
    auto resolve = [&](size_t offset, const void* pointer, size_t length) -> UMockdevIoctlData* {
        return pointer != nullptr && length != 0 ? umockdev_ioctl_data_resolve(header, offset, length, nullptr)
                                                 : nullptr;
    };
    UMockdevIoctlData* cdb = resolve(offsetof(sg_io_hdr, cmdp), hdr.cmdp, hdr.cmd_len);
    UMockdevIoctlData* data = resolve(offsetof(sg_io_hdr, dxferp), hdr.dxferp, hdr.dxfer_len);
    UMockdevIoctlData* sense = resolve(offsetof(sg_io_hdr, sbp), hdr.sbp, hdr.mx_sb_len);
    const int error = Run(hdr, cdb != nullptr ? cdb->data : nullptr, data != nullptr ? data->data : nullptr,
                          sense != nullptr ? sense->data : nullptr);
    if (error == 0) {
        // Only the fields the driver writes go back: the pointers in the header stay the caller's.
        auto* out = reinterpret_cast<sg_io_hdr*>(header->data);
        out->status = hdr.status;
        out->masked_status = hdr.masked_status;
        out->host_status = hdr.host_status;
        out->driver_status = hdr.driver_status;
        out->sb_len_wr = hdr.sb_len_wr;
        out->resid = hdr.resid;
        out->info = hdr.info;
        out->duration = 0;
        umockdev_ioctl_client_complete(client, 0, 0);
    } else {
        umockdev_ioctl_client_complete(client, -1, error);
    }
    for (UMockdevIoctlData* d : {cdb, data, sense, header}) {
        if (d != nullptr) {
            umockdev_ioctl_data_unref(d);
        }
    }
}

// write(): the request is queued and the call returns. The simulated device answers at once, so
// the reply is ready for the next read(); a request that fails does so here, with the errno the
// driver's write gives for a request it cannot start.
void MockSg::HandleWrite(UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    sg_io_hdr hdr;
    // Only whole sg_io_hdr requests are emulated (no requests of the older sg_header form).
    if (arg->data_len < static_cast<gint>(sizeof(hdr))) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    std::memcpy(&hdr, arg->data, sizeof(hdr));
    OpenFile& file = FileOf(client);
    int error = 0;
    if (hdr.interface_id != 'S') {
        error = ENOSYS;
    } else if (hdr.cmdp == nullptr || hdr.cmd_len < 6 || hdr.cmd_len > 16) {
        error = EMSGSIZE;
    } else if (!m_present) {
        error = ENODEV;
    } else if (file.done.size() >= SG_MAX_QUEUE) {
        error = EDOM;
    }
    if (error != 0) {
        umockdev_ioctl_client_complete(client, -1, error);
        return;
    }
    const bool in = hdr.dxfer_direction == SG_DXFER_FROM_DEV;
    const bool out = hdr.dxfer_direction == SG_DXFER_TO_DEV && hdr.dxferp != nullptr && hdr.dxfer_len != 0;
    UMockdevIoctlData* cdb = umockdev_ioctl_data_resolve(arg, offsetof(sg_io_hdr, cmdp), hdr.cmd_len, nullptr);
    UMockdevIoctlData* sent =
        out ? umockdev_ioctl_data_resolve(arg, offsetof(sg_io_hdr, dxferp), hdr.dxfer_len, nullptr) : nullptr;
    if ((out && sent == nullptr) || (hdr.dxfer_direction == SG_DXFER_TO_DEV && hdr.dxfer_len != 0 && !out)) {
        for (UMockdevIoctlData* d : {cdb, sent}) {
            if (d != nullptr) {
                umockdev_ioctl_data_unref(d);
            }
        }
        umockdev_ioctl_client_complete(client, -1, EFAULT);  // data to send that cannot be reached
        return;
    }
    OpenFile::Done done;
    done.hdr = hdr;
    done.data.resize(in ? hdr.dxfer_len : 0);
    std::memset(done.sense, 0, sizeof(done.sense));
    error = Run(done.hdr, cdb != nullptr ? cdb->data : nullptr, out && sent != nullptr ? sent->data : done.data.data(),
                done.sense);
    for (UMockdevIoctlData* d : {cdb, sent}) {
        if (d != nullptr) {
            umockdev_ioctl_data_unref(d);
        }
    }
    if (error != 0) {
        umockdev_ioctl_client_complete(client, -1, error);
        return;
    }
    done.hdr.duration = 0;
    file.done.push_back(std::move(done));
    umockdev_ioctl_client_complete(client, arg->data_len, 0);
}

// read(): the reply of a completed request, the one with the header's pack_id when the
// descriptor asked for that (-1: any), else the oldest. The driver writes back the header as it
// was written, outputs filled in, and the data and sense data into the buffers named then. The
// node answers as to a descriptor opened with O_NONBLOCK, as the library opens it: no reply yet
// is EAGAIN (a blocking read would wait in the driver).
void MockSg::HandleRead(UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (arg->data_len < static_cast<gint>(sizeof(sg_io_hdr))) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_faultMutex);
        if (!m_waitErrors.empty()) {
            const int error = m_waitErrors.front();
            m_waitErrors.pop_front();
            ++m_waitsDisturbed;
            umockdev_ioctl_client_complete(client, -1, error);
            return;
        }
    }
    OpenFile& file = FileOf(client);
    sg_io_hdr asked;
    std::memcpy(&asked, arg->data, sizeof(asked));
    const int wanted = file.by_pack_id ? asked.pack_id : -1;
    auto it = file.done.begin();
    while (it != file.done.end() && wanted != -1 && it->hdr.pack_id != wanted) {
        ++it;
    }
    if (it == file.done.end()) {
        umockdev_ioctl_client_complete(client, -1, m_present ? EAGAIN : ENODEV);
        return;
    }
    const sg_io_hdr& hdr = it->hdr;
    std::memcpy(arg->data, &hdr, sizeof(hdr));  // pointers too: the reply goes where the request said
    UMockdevIoctlData* data =
        !it->data.empty() && hdr.dxferp != nullptr
            ? umockdev_ioctl_data_resolve(arg, offsetof(sg_io_hdr, dxferp), it->data.size(), nullptr)
            : nullptr;
    UMockdevIoctlData* sense = hdr.sb_len_wr != 0 && hdr.sbp != nullptr
                                   ? umockdev_ioctl_data_resolve(arg, offsetof(sg_io_hdr, sbp), hdr.sb_len_wr, nullptr)
                                   : nullptr;
    if (data != nullptr) {
        std::memcpy(data->data, it->data.data(), it->data.size());
    }
    if (sense != nullptr) {
        std::memcpy(sense->data, it->sense, hdr.sb_len_wr);
    }
    file.done.erase(it);
    umockdev_ioctl_client_complete(client, arg->data_len, 0);
    for (UMockdevIoctlData* d : {data, sense}) {
        if (d != nullptr) {
            umockdev_ioctl_data_unref(d);
        }
    }
}

}  // namespace sim
