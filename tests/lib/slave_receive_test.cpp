// The slave receive worker: no command without the slave mode, polling while the count is 0
// until the owner leaves the mode, one batch by callback or window message, at most 256 bytes.
#include <chrono>
#include <mutex>
#include <thread>

#include "library_fixture.h"
#include "slave_receive.h"

namespace {

struct Delivery {
    unsigned count;
    const unsigned char* area;
    std::vector<uint8_t> data;
    std::vector<uint8_t> status;
};

std::mutex g_mutex;
std::vector<Delivery> g_deliveries;

int record_delivery(unsigned count, unsigned char* area) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_deliveries.push_back({count, area, std::vector<uint8_t>(area, area + std::min(count, 256u)),
                            std::vector<uint8_t>(area + 256, area + 260)});
    return 1;
}

std::vector<Delivery> deliveries() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return g_deliveries;
}

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        v[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return v;
}

class SlaveReceive : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        std::lock_guard<std::mutex> guard(g_mutex);
        g_deliveries.clear();
    }

    void set_waiting(bool i2c, std::vector<uint8_t> bytes) {
        auto guard = support::lock();
        (i2c ? dev(1).i2c_slave_waiting : dev(1).spi_slave_waiting) = std::move(bytes);
    }

    size_t waiting(bool i2c) {
        auto guard = support::lock();
        return (i2c ? dev(1).i2c_slave_waiting : dev(1).spi_slave_waiting).size();
    }
};

TEST_F(SlaveReceive, WithoutTheSlaveModeNoCommandIsSent) {
    Brg40Handle h = attach_and_open(1);
    set_waiting(true, pattern(5, 1));
    EXPECT_EQ(brg40_i2c_read_slave(h, 0, record_delivery, nullptr), 0);
    EXPECT_EQ(brg40_spi_transmit_slave(h, 1, nullptr, reinterpret_cast<void*>(0x10)), 0);
    EXPECT_EQ(support::join_threads(), 2u);
    EXPECT_EQ(transcript_size(1), 0u);
    EXPECT_TRUE(deliveries().empty());
    EXPECT_TRUE(support::posted_messages().empty());
}

TEST_F(SlaveReceive, CountFiveByCallback) {
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    const auto bytes = pattern(5, 0x30);
    set_waiting(true, bytes);
    dev(1).slave_status[0] = 0x5A;
    dev(1).slave_status[3] = 0xC3;
    EXPECT_EQ(brg40_i2c_read_slave(h, 0, record_delivery, reinterpret_cast<void*>(0x77)), 0);
    support::join_threads();
    const auto got = deliveries();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].count, 5u);
    EXPECT_EQ(got[0].area, brg40::slave_receive_area.data);
    EXPECT_EQ(got[0].data, bytes);
    EXPECT_EQ(got[0].status, (std::vector<uint8_t>{0x5A, 0xA2, 0xA3, 0xC3}));
    EXPECT_TRUE(support::posted_messages().empty());
    EXPECT_EQ(waiting(true), 0u);
    // Status first, then exactly the count.
    auto guard = support::lock();
    const auto& t = dev(1).transcript();
    ASSERT_EQ(t.size(), 3u);  // mode change, status, data
    EXPECT_EQ(t[1].request.cdb[0], 239);
    EXPECT_EQ(t[2].request.cdb[0], 237);
    EXPECT_EQ(t[2].request.cdb[8], 5);
}

TEST_F(SlaveReceive, CountFiveByWindowMessage) {
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    set_waiting(false, pattern(5, 0x90));
    void* window = reinterpret_cast<void*>(0x4242);
    EXPECT_EQ(brg40_spi_transmit_slave(h, 1, record_delivery, window), 0);
    support::join_threads();
    EXPECT_TRUE(deliveries().empty()) << "the callback is not called with a message delivery";
    const auto messages = support::posted_messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].window, window);
    EXPECT_EQ(messages[0].message, 0x9F3Au);
    EXPECT_EQ(messages[0].wparam, 5u);
    EXPECT_EQ(messages[0].lparam, reinterpret_cast<intptr_t>(brg40::slave_receive_area.data));
    EXPECT_EQ(std::vector<uint8_t>(brg40::slave_receive_area.data, brg40::slave_receive_area.data + 5),
              pattern(5, 0x90));
    EXPECT_EQ(records(1, 245).size(), 1u);
    EXPECT_EQ(records(1, 244).size(), 1u);
}

TEST_F(SlaveReceive, TwoStartsInARowKeepTheirOwnJobs) {
    Brg40Handle first = attach_and_open(1);
    Brg40Handle second = attach_and_open(2);
    ASSERT_EQ(brg40_mode_change_ex(first, 2, 0), 0);
    {
        auto guard = support::lock();
        dev(1).i2c_slave_waiting = pattern(5, 0x10);
        dev(2).i2c_slave_waiting = pattern(3, 0x20);
    }
    // Neither worker runs before both starts have rewritten the shared job record.
    support::hold_threads(true);
    EXPECT_EQ(brg40_i2c_read_slave(first, 0, record_delivery, nullptr), 0);
    EXPECT_EQ(brg40_i2c_read_slave(second, 1, nullptr, reinterpret_cast<void*>(0x55)), 0);
    support::hold_threads(false);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((deliveries().empty() || support::posted_messages().empty()) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stop_workers();
    const auto got = deliveries();
    ASSERT_EQ(got.size(), 1u) << "the first start's callback";
    EXPECT_EQ(got[0].count, 5u);
    const auto messages = support::posted_messages();
    ASSERT_EQ(messages.size(), 1u) << "the second start's message";
    EXPECT_EQ(messages[0].window, reinterpret_cast<void*>(0x55));
    EXPECT_EQ(messages[0].wparam, 3u);
}

TEST_F(SlaveReceive, CountAbove256DeliversTheFirst256AndLeavesTheRestWaiting) {
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    const auto bytes = pattern(300, 0x01);
    set_waiting(true, bytes);
    brg40_i2c_read_slave(h, 0, record_delivery, nullptr);
    support::join_threads();
    auto got = deliveries();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].count, 256u);
    EXPECT_EQ(got[0].data, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 256));
    const auto data_commands = records(1, 237);
    ASSERT_EQ(data_commands.size(), 1u);
    EXPECT_EQ(data_commands[0].request.cdb[7], 0x01);
    EXPECT_EQ(data_commands[0].request.cdb[8], 0x00);
    EXPECT_EQ(waiting(true), 44u);

    brg40_i2c_read_slave(h, 0, record_delivery, nullptr);
    support::join_threads();
    got = deliveries();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].count, 44u);
    EXPECT_EQ(got[1].data, std::vector<uint8_t>(bytes.begin() + 256, bytes.end()));
    EXPECT_EQ(waiting(true), 0u);
}

TEST_F(SlaveReceive, CountOneReadsOneIntoTheTwoByteTransfer) {
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    set_waiting(true, {0xAB});
    brg40_i2c_read_slave(h, 0, record_delivery, nullptr);
    support::join_threads();
    const auto got = deliveries();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].count, 1u);
    EXPECT_EQ(got[0].data[0], 0xAB);
    EXPECT_EQ(records(1, 237)[0].request.transfer_length, 2u);
}

TEST_F(SlaveReceive, CountZeroKeepsPollingUntilTheOwnerLeavesTheMode) {
    using Clock = std::chrono::steady_clock;
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    const auto start = Clock::now();
    brg40_i2c_read_slave(h, 0, record_delivery, nullptr);
    // Wait for the third status poll (generous deadline for a loaded machine).
    while (records(1, 239).size() < 3 && Clock::now() - start < std::chrono::seconds(20)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_GE(records(1, 239).size(), 3u);
    // Two pauses of 500 ms lie between the first and the third poll.
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(950));
    ASSERT_EQ(brg40_mode_change(h, 1, 0), 0);  // the owner leaves the slave mode
    support::join_threads();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30)) << "the worker noticed the cleared mode";
    const size_t polls = records(1, 239).size();
    EXPECT_TRUE(deliveries().empty());
    EXPECT_EQ(records(1, 237).size(), 0u);
    const auto sleeps = support::sleeps();
    EXPECT_EQ(sleeps.size(), polls) << "one pause after each poll, the flag checked after the last";
    for (uint32_t ms : sleeps) {
        EXPECT_EQ(ms, 500u);
    }
}

TEST_F(SlaveReceive, AnotherHandlesModeChangeDoesNotStopThePolling) {
    Brg40Handle a = attach_and_open(1);
    Brg40Handle b = attach_and_open(2);
    ASSERT_EQ(brg40_mode_change_ex(a, 2, 0), 0);
    brg40_i2c_read_slave(a, 0, record_delivery, nullptr);
    ASSERT_EQ(brg40_mode_change(b, 1, 0), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    set_waiting(true, pattern(3, 9));  // data arrives later: the worker is still polling
    support::join_threads();
    const auto got = deliveries();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].count, 3u);
}

TEST_F(SlaveReceive, FailedCommandsEndTheWorkerWithoutDelivery) {
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    set_waiting(true, pattern(4, 1));
    dev(1).fail_command(239, sim::sense_reply(3, 0x80, 1), 1);
    brg40_i2c_read_slave(h, 0, record_delivery, nullptr);
    support::join_threads();
    EXPECT_EQ(records(1, 237).size(), 0u);
    dev(1).fail_command(237, sim::failed_reply(31), 1);
    brg40_i2c_read_slave(h, 1, nullptr, reinterpret_cast<void*>(1));
    support::join_threads();
    EXPECT_TRUE(deliveries().empty());
    EXPECT_TRUE(support::posted_messages().empty());
}

TEST_F(SlaveReceive, ClosedHandleEndsTheWorkerAtItsNextPoll) {
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    brg40_i2c_read_slave(h, 0, record_delivery, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    brg40_close(h);
    support::join_threads();  // ends although the mode is still set
    EXPECT_EQ(brg40::slave_mode_flag, 1);
    EXPECT_TRUE(deliveries().empty());
}

}  // namespace
