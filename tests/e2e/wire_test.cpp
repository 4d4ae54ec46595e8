// The simulator's frames: every field survives a round trip; damaged frames are refused.
#include <gtest/gtest.h>

#include <cstring>

#include "wire.h"

namespace sim {
namespace wire {
namespace {

ScsiCall sample_call() {
    ScsiCall call;
    call.lpt = 7;
    for (int i = 0; i < 16; ++i) {
        call.request.cdb[i] = static_cast<uint8_t>(0xA0 + i);
    }
    call.request.cdb_length = 10;
    call.request.direction = Direction::In;
    call.request.transfer_length = 3;
    call.request.timeout_s = 10;
    call.request.block_was_clean = false;
    call.has_data = true;
    call.data = {1, 2, 3};
    call.block_error = "TargetId=0 (expected 1)";
    return call;
}

TEST(Wire, ScsiCallKeepsEveryField) {
    const ScsiCall in = sample_call();
    const std::vector<uint8_t> bytes = encode(in);
    ScsiCall out;
    ASSERT_TRUE(decode(bytes.data(), bytes.size(), out));
    EXPECT_EQ(out.lpt, 7);
    EXPECT_EQ(0, std::memcmp(out.request.cdb, in.request.cdb, 16));
    EXPECT_EQ(out.request.cdb_length, 10);
    EXPECT_EQ(out.request.direction, Direction::In);
    EXPECT_EQ(out.request.transfer_length, 3u);
    EXPECT_EQ(out.request.timeout_s, 10u);
    EXPECT_FALSE(out.request.block_was_clean);
    EXPECT_TRUE(out.has_data);
    EXPECT_EQ(out.data, in.data);
    EXPECT_EQ(out.block_error, in.block_error);
    EXPECT_EQ(out.request.data, nullptr);
}

TEST(Wire, ScsiCallWithoutDataAndCleanBlock) {
    ScsiCall in;
    in.lpt = 1;
    in.request.direction = Direction::Out;
    in.request.block_was_clean = true;
    const std::vector<uint8_t> bytes = encode(in);
    ScsiCall out;
    ASSERT_TRUE(decode(bytes.data(), bytes.size(), out));
    EXPECT_FALSE(out.has_data);
    EXPECT_TRUE(out.request.block_was_clean);
    EXPECT_EQ(out.request.direction, Direction::Out);
}

TEST(Wire, OutcomeAndStateKeepEveryField) {
    ScsiOutcome in;
    in.reply.os_error = 998;
    for (int i = 0; i < 18; ++i) {
        in.reply.sense[i] = static_cast<uint8_t>(i * 7);
    }
    in.has_data = true;
    in.data = {9, 8};
    std::vector<uint8_t> bytes = encode(in);
    ScsiOutcome out;
    ASSERT_TRUE(decode(bytes.data(), bytes.size(), out));
    EXPECT_EQ(out.reply.os_error, 998u);
    EXPECT_EQ(0, std::memcmp(out.reply.sense, in.reply.sense, 18));
    EXPECT_TRUE(out.has_data);
    EXPECT_EQ(out.data, in.data);

    BenchState s;
    s.generation = 0x01020304u;
    s.lpt_mask = 0x0228;
    s.update_mask = 1u << 5;
    s.units = {{3, "1-3", "A1", "ZEVAK", "NKV-BRG40M"}, {5, "2-1", "", "ACME", "Disk"}};
    bytes = encode(s);
    BenchState t;
    ASSERT_TRUE(decode(bytes.data(), bytes.size(), t));
    EXPECT_EQ(t.generation, 0x01020304u);
    EXPECT_EQ(t.lpt_mask, 0x0228);
    EXPECT_TRUE(t.in_update_mode(5));
    EXPECT_FALSE(t.in_update_mode(3));
    ASSERT_EQ(t.units.size(), 2u);
    EXPECT_EQ(t.unit(5)->port, "2-1");
    EXPECT_EQ(t.unit(3)->serial, "A1");
    EXPECT_EQ(t.unit(3)->product, "NKV-BRG40M");
    EXPECT_EQ(t.unit(4), nullptr);
}

TEST(Wire, TruncatedOrOverlongBodiesAreRefused) {
    const std::vector<uint8_t> bytes = encode(sample_call());
    ScsiCall out;
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_FALSE(decode(bytes.data(), cut, out)) << "cut at " << cut;
    }
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(decode(longer.data(), longer.size(), out));
    std::vector<uint8_t> bad_direction = bytes;
    bad_direction[18] = 2;  // lpt, cdb_length, 16 cdb bytes, then the direction
    EXPECT_FALSE(decode(bad_direction.data(), bad_direction.size(), out));
}

TEST(Wire, FrameHeaderCarriesLengthAndKind) {
    const std::vector<uint8_t> f = frame(4, {'h', 'i'});
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(frame_length(f.data(), f.size()), 7);
    EXPECT_EQ(f[4], 4);
    EXPECT_EQ(frame_length(f.data(), 3), 0);  // header incomplete
    const uint8_t empty[4] = {0, 0, 0, 0};
    EXPECT_EQ(frame_length(empty, 4), -1);  // not even the kind byte
    const uint8_t huge[4] = {0xFF, 0xFF, 0xFF, 0x7F};
    EXPECT_EQ(frame_length(huge, 4), -1);
}

TEST(Wire, ReaderStopsAtTheEnd) {
    const uint8_t two[2] = {0x34, 0x12};
    Reader r(two, 2);
    EXPECT_EQ(r.u16(), 0x1234);
    EXPECT_TRUE(r.at_end());
    EXPECT_EQ(r.u8(), 0);
    EXPECT_FALSE(r.ok());
}

}  // namespace
}  // namespace wire
}  // namespace sim
