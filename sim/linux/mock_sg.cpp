// The emulated SCSI generic node: SG_IO requests carried to a simulated device.
#include "mock_sg.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "errno_table.h"

namespace sim {

namespace {

constexpr uint8_t kCheckCondition = 0x02;
constexpr uint8_t kDriverSense = 0x08;

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

MockSg::MockSg(UMockdevTestbed* testbed, int number, Answer answer)
    : m_testbed(testbed), m_answer(std::move(answer)), m_handler(umockdev_ioctl_base_new()) {
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(OnIoctl), this);
    const std::string n = std::to_string(number);
    const std::string name = "sg" + n;
    // A USB storage adapter's SCSI device, one host per device as usb-storage makes them.
    const std::string host = "host" + n;
    m_syspath = "/devices/pci0000:00/0000:00:14.0/usb2/2-" + n + "/2-" + n + ":1.0/" + host + "/target" + n + ":0:0/" +
                n + ":0:0:0/scsi_generic/" + name;
    m_devnode = "/dev/" + name;
    m_description = "P: " + m_syspath + "\nN: " + name + "=00\nE: DEVNAME=" + m_devnode +
                    "\nE: SUBSYSTEM=scsi_generic\nE: MAJOR=21\nE: MINOR=" + n + "\nA: dev=21:" + n + "\\n\n";
    // The handler first, so that the node answers as soon as the "add" uevent is out. It stays
    // attached for the object's life. The node is a plain file (given contents), not a terminal,
    // so that the testbed can make it again when the device comes back.
    umockdev_testbed_attach_ioctl(m_testbed, m_devnode.c_str(), m_handler, nullptr);
    arrive();
}

MockSg::~MockSg() {
    leave();
    umockdev_testbed_detach_ioctl(m_testbed, m_devnode.c_str(), nullptr);
    g_object_unref(m_handler);
}

void MockSg::arrive() {
    if (!m_present.exchange(true)) {
        umockdev_testbed_add_from_string(m_testbed, m_description.c_str(), nullptr);
    }
}

void MockSg::leave() {
    if (m_present.exchange(false)) {
        const std::string sys = "/sys" + m_syspath;
        umockdev_testbed_uevent(m_testbed, sys.c_str(), "remove");
        umockdev_testbed_remove_device(m_testbed, sys.c_str());
    }
}

gboolean MockSg::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<MockSg*>(self)->Handle(client);
    return TRUE;
}

void MockSg::Handle(UMockdevIoctlClient* client) {
    if (umockdev_ioctl_client_get_request(client) != SG_IO) {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return;
    }
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
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

    ScsiRequest request = request_from_sg(hdr, data != nullptr ? data->data : nullptr);
    if (cdb != nullptr) {
        std::memcpy(request.cdb, cdb->data, request.cdb_length);
    }
    ScsiReply reply;
    int error = ENODEV;
    if (m_present && m_answer(request, reply)) {
        error = apply_sg_reply(reply, hdr, sense != nullptr ? sense->data : nullptr);
    }
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

}  // namespace sim
