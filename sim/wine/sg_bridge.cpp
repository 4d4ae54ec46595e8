// Translation between Wine's SG_IO requests and the model's pass-through requests.
#include "sg_bridge.h"

#include <cerrno>
#include <cstring>

#include "os_errors.h"

namespace sim {

namespace {

uint32_t u32_at(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

bool all_zero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (p[i] != 0) {
            return false;
        }
    }
    return true;
}

// Field offsets of the 64-bit SCSI_PASS_THROUGH_DIRECT.
constexpr size_t kLength = 0, kScsiStatus = 2, kPathId = 3, kTargetId = 4, kLun = 5, kCdbLength = 6,
                 kSenseInfoLength = 7, kDataIn = 8, kDataTransferLength = 12, kTimeOutValue = 16, kDataBuffer = 24,
                 kSenseInfoOffset = 32;

void expect(std::string& problems, const char* field, unsigned long have, unsigned long want) {
    if (have != want) {
        problems += (problems.empty() ? "" : ", ") + std::string(field) + "=" + std::to_string(have) + " (expected " +
                    std::to_string(want) + ")";
    }
}

}  // namespace

wire::ScsiCall call_from_sg(int lpt, const sg_io_hdr& hdr) {
    wire::ScsiCall call;
    call.lpt = lpt;
    ScsiRequest& r = call.request;
    r.cdb_length = hdr.cmd_len <= sizeof r.cdb ? hdr.cmd_len : sizeof r.cdb;
    if (hdr.cmdp != nullptr) {
        std::memcpy(r.cdb, hdr.cmdp, r.cdb_length);
    }
    r.direction = hdr.dxfer_direction == SG_DXFER_FROM_DEV ? Direction::In : Direction::Out;
    r.transfer_length = hdr.dxfer_len;
    r.timeout_s = hdr.timeout / 1000;  // Wine passes TimeOutValue in milliseconds
    call.has_data = hdr.dxferp != nullptr;
    if (call.has_data) {
        const uint8_t* data = static_cast<const uint8_t*>(hdr.dxferp);
        call.data.assign(data, data + hdr.dxfer_len);
    }
    const uint8_t* cdb = hdr.cmdp;
    const uint8_t* sense = hdr.sbp;
    if (cdb == nullptr || sense != cdb - kCdbOffset + kSenseOffset) {
        call.block_error = "the sense area is not at offset 60 of the block";
        r.block_was_clean = false;
        return call;
    }
    const uint8_t* block = cdb - kCdbOffset;
    uint16_t length;
    std::memcpy(&length, block + kLength, sizeof length);
    std::string problems;
    expect(problems, "Length", length, 56);
    expect(problems, "PathId", block[kPathId], 0);
    expect(problems, "TargetId", block[kTargetId], 1);
    expect(problems, "Lun", block[kLun], 0);
    expect(problems, "SenseInfoLength", block[kSenseInfoLength], 18);
    expect(problems, "SenseInfoOffset", u32_at(block + kSenseInfoOffset), kSenseOffset);
    if (block[kDataIn] > 1) {  // the driver knows 0 (out) and 1 (in); 2 (unspecified) is not for it
        problems += (problems.empty() ? "" : ", ") + std::string("DataIn=") + std::to_string(block[kDataIn]) +
                    " (expected 0 or 1)";
    }
    // Wine copied these from the block; a mismatch means the block is not where we read it.
    uint64_t buffer;
    std::memcpy(&buffer, block + kDataBuffer, sizeof buffer);
    if (block[kCdbLength] != hdr.cmd_len || u32_at(block + kDataTransferLength) != hdr.dxfer_len ||
        buffer != reinterpret_cast<uintptr_t>(hdr.dxferp)) {
        problems = "the block does not match the request Wine made from it";
    }
    call.block_error = problems;
    r.block_was_clean = block[kScsiStatus] == 0 && all_zero(block + kDataIn + 1, 3) &&
                        all_zero(block + kTimeOutValue + 4, 4) && all_zero(cdb + 16, 4) &&
                        all_zero(block + 56, kBlockSize - 56);
    return call;
}

int apply_outcome(sg_io_hdr& hdr, const wire::ScsiOutcome& outcome) {
    const ScsiReply& reply = outcome.reply;
    if (outcome.has_data && hdr.dxferp != nullptr && outcome.data.size() == hdr.dxfer_len && hdr.dxfer_len != 0) {
        std::memcpy(hdr.dxferp, outcome.data.data(), hdr.dxfer_len);
    }
    hdr.resid = 0;
    hdr.duration = 0;
    hdr.host_status = 0;
    if (reply.os_error != 0) {
        const int err = errno_for_windows_error(reply.os_error);
        errno = err != 0 ? err : ENODEV;
        return -1;
    }
    if ((reply.sense[2] & 0x0F) != 0) {
        const size_t n = hdr.mx_sb_len < sizeof reply.sense ? hdr.mx_sb_len : sizeof reply.sense;
        std::memcpy(hdr.sbp, reply.sense, n);
        hdr.sb_len_wr = static_cast<unsigned char>(n);
        hdr.status = 0x02;         // CHECK CONDITION
        hdr.masked_status = 0x01;  // CHECK_CONDITION >> 1
        hdr.driver_status = 0x08;  // DRIVER_SENSE
        hdr.info = SG_INFO_CHECK;
    } else {
        hdr.sb_len_wr = 0;
        hdr.status = 0;
        hdr.masked_status = 0;
        hdr.driver_status = 0;
        hdr.info = SG_INFO_OK;
    }
    return 0;
}

int lpt_of_path(const std::string& device_dir, const std::string& path) {
    const std::string stem = device_dir + "/unit";
    if (path.size() != stem.size() + 1 || path.compare(0, stem.size(), stem) != 0) {
        return 0;
    }
    const char digit = path.back();
    return digit >= '1' && digit <= '9' ? digit - '0' : 0;
}

}  // namespace sim
