// The SG_IO bridge's translation: the caller's block as Wine passes it, checked field by field;
// outcomes written back as sense data, CHECK CONDITION or errno.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "os_errors.h"
#include "sg_bridge.h"

namespace sim {
namespace {

// A caller's block filled as the converter's driver expects it, and the header Wine makes of it.
struct WineRequest {
    alignas(8) uint8_t block[kBlockSize] = {};
    uint8_t data[8] = {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7};
    sg_io_hdr hdr{};

    WineRequest(uint8_t code = 0xDA, bool data_in = true, uint32_t length = 4) {
        const uint16_t size = 56;
        std::memcpy(block, &size, 2);
        block[4] = 1;  // TargetId
        block[6] = 10;
        block[7] = 18;
        block[8] = data_in ? 1 : 0;
        std::memcpy(block + 12, &length, 4);
        const uint32_t timeout = 5;
        std::memcpy(block + 16, &timeout, 4);
        void* buffer = length != 0 ? data : nullptr;
        std::memcpy(block + 24, &buffer, 8);
        const uint32_t sense_offset = 60;
        std::memcpy(block + 32, &sense_offset, 4);
        block[36] = code;
        block[36 + 8] = static_cast<uint8_t>(length);
        hdr.interface_id = 'S';
        hdr.cmd_len = 10;
        hdr.mx_sb_len = 18;
        hdr.dxfer_len = length;
        hdr.dxferp = buffer;
        hdr.cmdp = block + 36;
        hdr.sbp = block + 60;
        hdr.timeout = timeout * 1000;
        hdr.dxfer_direction = data_in ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    }
};

TEST(SgBridge, AWellFormedBlockBecomesTheModelsRequest) {
    WineRequest w;
    const wire::ScsiCall call = call_from_sg(3, w.hdr);
    EXPECT_EQ(call.lpt, 3);
    EXPECT_EQ(call.block_error, "");
    EXPECT_TRUE(call.request.block_was_clean);
    EXPECT_EQ(call.request.cdb_length, 10);
    EXPECT_EQ(call.request.cdb[0], 0xDA);
    EXPECT_EQ(call.request.cdb[8], 4);
    EXPECT_EQ(call.request.direction, Direction::In);
    EXPECT_EQ(call.request.transfer_length, 4u);
    EXPECT_EQ(call.request.timeout_s, 5u);
    EXPECT_TRUE(call.has_data);
    EXPECT_EQ(call.data, std::vector<uint8_t>({0xD0, 0xD1, 0xD2, 0xD3}));

    WineRequest out(0xDB, false, 0);
    const wire::ScsiCall led = call_from_sg(1, out.hdr);
    EXPECT_EQ(led.request.direction, Direction::Out);
    EXPECT_FALSE(led.has_data);
    EXPECT_EQ(led.block_error, "");
}

TEST(SgBridge, EveryByteTheCallerDoesNotFillMustBeZero) {
    // Offsets of the status, the paddings, the filler, the sense area and the tail.
    const size_t kUnfilled[] = {2, 9, 10, 11, 20, 23, 52, 55, 56, 59, 60, 62, 72, 91, 92, 95};
    for (const size_t offset : kUnfilled) {
        WineRequest w;
        w.block[offset] = 0x5A;
        const wire::ScsiCall call = call_from_sg(3, w.hdr);
        EXPECT_FALSE(call.request.block_was_clean) << "offset " << offset;
        EXPECT_EQ(call.block_error, "") << "offset " << offset;
    }
}

TEST(SgBridge, FieldsTheDriverChecksMakeTheBlockMalformed) {
    struct Row {
        size_t offset;
        uint8_t value;
        const char* problem;
    };
    const Row kRows[] = {
        {0, 48, "Length=48 (expected 56)"},          {3, 1, "PathId=1 (expected 0)"},
        {4, 0, "TargetId=0 (expected 1)"},           {5, 2, "Lun=2 (expected 0)"},
        {7, 32, "SenseInfoLength=32 (expected 18)"}, {8, 2, "DataIn=2 (expected 0 or 1)"},
    };
    for (const Row& row : kRows) {
        WineRequest w;
        w.block[row.offset] = row.value;
        EXPECT_EQ(call_from_sg(3, w.hdr).block_error, row.problem);
    }
    WineRequest moved;
    moved.hdr.sbp = moved.block + 64;
    EXPECT_EQ(call_from_sg(3, moved.hdr).block_error, "the sense area is not at offset 60 of the block");
    WineRequest other;
    other.hdr.dxfer_len = 2;
    EXPECT_EQ(call_from_sg(3, other.hdr).block_error, "the block does not match the request Wine made from it");
}

TEST(SgBridge, SenseComesBackAsCheckCondition) {
    WineRequest w;
    wire::ScsiOutcome outcome;
    outcome.reply.sense[0] = 0x70;
    outcome.reply.sense[2] = 3;
    outcome.reply.sense[12] = 0x80;
    outcome.reply.sense[13] = 5;
    outcome.has_data = true;
    outcome.data = {1, 2, 3, 4};
    EXPECT_EQ(apply_outcome(w.hdr, outcome), 0);
    EXPECT_EQ(w.hdr.status, 2);
    EXPECT_EQ(w.hdr.sb_len_wr, 18);
    EXPECT_EQ(w.block[60 + 2], 3);
    EXPECT_EQ(w.block[60 + 13], 5);
    EXPECT_EQ(w.block[60 + 18], 0) << "nothing beyond the 18 sense bytes";
    EXPECT_EQ(w.data[0], 1);
    EXPECT_EQ(w.data[3], 4);
    EXPECT_EQ(w.data[4], 0xD4) << "only the transfer length is written";
}

TEST(SgBridge, GoodStatusLeavesTheSenseAreaAlone) {
    WineRequest w;
    std::memset(w.block + 60, 0xAA, 32);
    wire::ScsiOutcome outcome;
    EXPECT_EQ(apply_outcome(w.hdr, outcome), 0);
    EXPECT_EQ(w.hdr.status, 0);
    EXPECT_EQ(w.hdr.sb_len_wr, 0);
    EXPECT_EQ(w.block[60], 0xAA);
    EXPECT_EQ(w.block[62], 0xAA);
}

TEST(SgBridge, FailedRequestsSetTheErrnoWineTranslates) {
    for (size_t i = 0; i < kErrnoMappingCount; ++i) {
        WineRequest w;
        wire::ScsiOutcome outcome;
        outcome.reply.os_error = kErrnoMappings[i].windows_error;
        errno = 0;
        EXPECT_EQ(apply_outcome(w.hdr, outcome), -1);
        EXPECT_EQ(errno, kErrnoMappings[i].unix_errno) << kErrnoMappings[i].windows_error;
        EXPECT_EQ(w.block[62], 0) << "no sense data with a failed request";
    }
    EXPECT_EQ(errno_for_windows_error(1234), 0);
    EXPECT_EQ(errno_for_windows_error(21), EIO);
}

TEST(SgBridge, DeviceFilesAreKnownByTheirCanonicalPath) {
    EXPECT_EQ(lpt_of_path("/run/sim/devices", "/run/sim/devices/unit3"), 3);
    EXPECT_EQ(lpt_of_path("/run/sim/devices", "/run/sim/devices/unit9"), 9);
    EXPECT_EQ(lpt_of_path("/run/sim/devices", "/run/sim/devices/unit0"), 0);
    EXPECT_EQ(lpt_of_path("/run/sim/devices", "/run/sim/devices/unit10"), 0);
    EXPECT_EQ(lpt_of_path("/run/sim/devices", "/run/other/devices/unit3"), 0);
    EXPECT_EQ(lpt_of_path("/run/sim/devices", "/dev/sg0"), 0);
}

}  // namespace
}  // namespace sim
