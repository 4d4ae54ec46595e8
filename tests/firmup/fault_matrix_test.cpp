// A fault at every exchange of a programming run and of a closing check: the message shown, no
// close byte unless the flash checked out, the preserved block kept, and a retry that completes
// the update. Buffers of the stopped runs are watched by LeakSanitizer in the host build.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "dialog_events.h"
#include "image_gen.h"
#include "memory_store.h"
#include "recording_dialog.h"
#include "simulated_update_device.h"

namespace {

constexpr uint32_t kRunExchanges = 1 + 352 + 1408;
constexpr uint32_t kCloseExchanges = 1408;
constexpr uint32_t kShard = 256;  // exchanges per test case, so that ctest can spread the matrix

enum class Phase { Run, Close };

struct Shard {
    Phase phase;
    sim::LoaderFault fault;
    uint32_t first;  // 1-based exchange numbers first .. first + kShard - 1 (clipped)
};

const char* FaultName(sim::LoaderFault fault);

void PrintTo(const Shard& shard, std::ostream* out) {
    *out << (shard.phase == Phase::Run ? "run" : "close") << " " << FaultName(shard.fault) << " from " << shard.first;
}

const char* FaultName(sim::LoaderFault fault) {
    switch (fault) {
        case sim::LoaderFault::NoReply:
            return "NoReply";
        case sim::LoaderFault::WrongEcho:
            return "WrongEcho";
        case sim::LoaderFault::ShortReply:
            return "ShortReply";
        default:
            return "Other";
    }
}

std::vector<Shard> AllShards() {
    std::vector<Shard> shards;
    // A short reply to the preserved-block read is no reply; to an erase or a write it is none.
    for (auto fault : {sim::LoaderFault::NoReply, sim::LoaderFault::WrongEcho, sim::LoaderFault::ShortReply}) {
        for (uint32_t n = 1; n <= kRunExchanges; n += kShard) {
            shards.push_back({Phase::Run, fault, n});
        }
    }
    // A short read reply keeps its echo: the check must still refuse the zeros it leaves.
    for (auto fault : {sim::LoaderFault::NoReply, sim::LoaderFault::WrongEcho, sim::LoaderFault::ShortReply}) {
        for (uint32_t n = 1; n <= kCloseExchanges; n += kShard) {
            shards.push_back({Phase::Close, fault, n});
        }
    }
    return shards;
}

// The message a run stops with when exchange n fails.
unsigned RunMessage(uint32_t n) {
    return n == 1 ? 125 : n <= 1 + 352 ? 116 : 117;
}

struct Quiet {
    UpdateDevice device;
    DevicePipe pipe{device};
    RecordingDialog face;
    Quiet() {
        pipe.record = false;
        device.loader().set_recording(false);
        face.record_bar = false;
    }
};

class FaultMatrix : public testing::TestWithParam<Shard> {
protected:
    static void SetUpTestSuite() {
        file_ = std::make_unique<TempFile>(sim::make_image({}));  // version 1.05 over the device's 1.04
        // The flash as a successful run leaves it: the start of every closing case.
        Quiet q;
        FirmupProgramState state;
        ASSERT_EQ(ProgramFirmware(file_->path(), 0x0104, q.face, q.pipe, state), RunOutcome::Completed);
        programmed_ = q.device.flash().bytes;
    }
    static void TearDownTestSuite() { file_.reset(); }

    // After the retry: the device left update mode running the new image, with its own block.
    static void ExpectUpdated(UpdateDevice& device) {
        EXPECT_FALSE(device.update_mode());
        EXPECT_EQ(device.reported_version(), 0x0105);
        EXPECT_EQ(device.flash_bytes(0x5FE0, 16), device.preserved_value());
        EXPECT_TRUE(device.loader().protocol_errors().empty());
    }

    static std::unique_ptr<TempFile> file_;
    static std::array<uint8_t, sim::kFlashSize> programmed_;
};

std::unique_ptr<TempFile> FaultMatrix::file_;
std::array<uint8_t, sim::kFlashSize> FaultMatrix::programmed_;

TEST_P(FaultMatrix, FaultAtEveryExchange) {
    const Shard shard = GetParam();
    const uint32_t total = shard.phase == Phase::Run ? kRunExchanges : kCloseExchanges;
    const uint32_t last = std::min(total, shard.first + kShard - 1);
    const std::vector<ShownMessage> updated{{119, 110, kBoxInformation, false, 0, 0}};
    const std::vector<ShownMessage> close_failed{{121, 120, kBoxWarning, false, 0, 0}};

    for (uint32_t n = shard.first; n <= last && !HasFailure(); ++n) {
        SCOPED_TRACE(testing::Message() << "fault at exchange " << n);
        Quiet q;
        sim::Loader& loader = q.device.loader();
        loader.inject(n, shard.fault);
        if (shard.phase == Phase::Run) {
            MemoryStore store;  // the copy on disk, which outlives the program
            FirmupProgramState state(&store);
            EXPECT_EQ(ProgramFirmware(file_->path(), 0x0104, q.face, q.pipe, state), RunOutcome::Stopped);
            ASSERT_EQ(q.face.messages.size(), 1u);
            EXPECT_EQ(q.face.messages[0].text, RunMessage(n));
            EXPECT_EQ(loader.request_count(), n);  // nothing sent after the failed exchange
            EXPECT_FALSE(loader.close_requested());
            EXPECT_EQ(state.HasKeptBlock(), n > 1);
            if (state.HasKeptBlock()) {
                EXPECT_EQ(std::vector<uint8_t>(state.KeptBlock(), state.KeptBlock() + 16), q.device.preserved_value());
            }

            // The user quits as the message advises (the closing check runs), starts the tool
            // again, which orders update mode when the check let the converter go, and writes.
            loader.clear_faults();
            if (CloseUpdateSession(q.face, q.pipe, state)) {
                q.device.order_update_mode();
            }
            q.face.clear();
            FirmupProgramState next(&store);
            EXPECT_EQ(ProgramFirmware(file_->path(), 0x0104, q.face, q.pipe, next), RunOutcome::Completed);
            EXPECT_TRUE(CloseUpdateSession(q.face, q.pipe, next));
            EXPECT_EQ(q.face.messages, updated);
            EXPECT_TRUE(store.blocks.empty()) << "the stored copy goes with the session";
        } else {
            q.device.flash().bytes = programmed_;
            FirmupProgramState state;
            EXPECT_FALSE(CloseUpdateSession(q.face, q.pipe, state));
            EXPECT_EQ(q.face.messages, close_failed);
            EXPECT_FALSE(loader.close_requested());
            EXPECT_TRUE(q.device.update_mode());
            EXPECT_EQ(loader.request_count(), shard.fault == sim::LoaderFault::ShortReply ? kCloseExchanges : n);

            // The next start of the tool closes again and now the check passes.
            loader.clear_faults();
            q.face.clear();
            FirmupProgramState next;
            EXPECT_TRUE(CloseUpdateSession(q.face, q.pipe, next));
            EXPECT_TRUE(q.face.messages.empty());
        }
        ExpectUpdated(q.device);
    }
}

INSTANTIATE_TEST_SUITE_P(AllExchanges,
                         FaultMatrix,
                         testing::ValuesIn(AllShards()),
                         [](const testing::TestParamInfo<Shard>& info) {
                             return std::string(info.param.phase == Phase::Run ? "Run" : "Close") +
                                    FaultName(info.param.fault) + "From" + std::to_string(info.param.first);
                         });

}  // namespace
