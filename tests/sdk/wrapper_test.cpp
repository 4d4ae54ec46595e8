// The C++ wrapper against the library's core and the simulated converter: ownership of the
// handle, errors with status and text, byte spans in and vectors out (a single byte sent from a
// two-byte buffer), and slave reception through the guard.
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "../lib/library_fixture.h"
#include "brg40firmup.hpp"

namespace {

class Wrapper : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        support::bench().attach(1);
    }

    template <class Fn>
    auto with_device(Fn fn) {
        auto guard = support::lock();
        return fn(dev(1));
    }
};

TEST_F(Wrapper, ConverterClosesOnDestructionAndMovesItsHandle) {
    {
        brg40::Converter a = brg40::Converter::open(1);
        EXPECT_EQ(support::open_handle_count(), 1u);
        brg40::Converter b = std::move(a);
        EXPECT_EQ(a.handle(), nullptr);
        EXPECT_NE(b.handle(), nullptr);
        a = std::move(b);
        EXPECT_EQ(support::open_handle_count(), 1u);
    }
    EXPECT_EQ(support::open_handle_count(), 0u);
    EXPECT_EQ(brg40::Converter::find(), std::vector<int>{1});
}

TEST_F(Wrapper, ListAndSelectors) {
    const std::vector<brg40::DeviceInfo> units = brg40::Converter::list();
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].number, 1);
    EXPECT_EQ(units[0].node, "LPT1");
    {
        brg40::Converter c = brg40::Converter::open(std::string("LPT1"));
        EXPECT_NE(c.handle(), nullptr);
    }
    try {
        brg40::Converter::open(std::string("serial:NONE"));
        FAIL() << "no exception";
    } catch (const brg40::Error& e) {
        EXPECT_EQ(e.status(), BRG40_NO_DEVICE);
    }
}

TEST_F(Wrapper, FailureThrowsTheStatusWithItsText) {
    brg40::Converter c = brg40::Converter::open();
    with_device([](sim::Converter& d) { d.fail_command(0xDB, sim::sense_reply(3, 0x80, 4), 1); });
    try {
        c.led(1);
        FAIL() << "no exception";
    } catch (const brg40::Error& e) {
        EXPECT_EQ(e.status(), BRG40_DEVICE_ERROR_4);
        EXPECT_STREQ(e.what(),
                     "brg40_led_control: converter error 4 (status -109); check the command's arguments "
                     "and the converter's mode");
    }
    try {
        brg40::Converter::open();  // the first one is still held
        FAIL() << "no exception";
    } catch (const brg40::Error& e) {
        EXPECT_EQ(e.status(), BRG40_ALREADY_OPEN);
    }
}

TEST_F(Wrapper, BytesInAndVectorsOut) {
    brg40::Converter c = brg40::Converter::open(1);
    const std::vector<uint8_t> one = {0x5A};  // exactly one byte: the library sends two
    c.i2c_write(0x1234, 0x50, one);
    EXPECT_EQ(with_device([](sim::Converter& d) { return d.i2c_master_written; }), one);

    with_device([](sim::Converter& d) { d.i2c_master_reply = {0xC3, 0x3C}; });
    EXPECT_EQ(c.i2c_read(0, 0x50, 1), std::vector<uint8_t>{0xC3});

    const std::array<uint8_t, 4> send = {1, 2, 3, 4};
    with_device([](sim::Converter& d) { d.spi_master_reply = {9, 8, 7, 6}; });
    EXPECT_EQ(c.spi_transfer(0x01, send), (std::vector<uint8_t>{9, 8, 7, 6}));
    EXPECT_EQ(with_device([](sim::Converter& d) { return d.spi_master_written; }),
              std::vector<uint8_t>(send.begin(), send.end()));

    std::vector<uint8_t> image(256);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 3);
    }
    c.eeprom_write(brg40::ByteSpan(image.data(), image.size()));
    EXPECT_EQ(c.eeprom_read(256), image);
    EXPECT_EQ(c.spi_set_freq(0, 2999), 750);
}

TEST_F(Wrapper, TooLongATransferIsRefusedBeforeAnythingIsSent) {
    brg40::Converter c = brg40::Converter::open(1);
    const size_t before = transcript_size(1);
    const std::vector<uint8_t> big(65536);
    EXPECT_THROW(c.eeprom_write(big), std::length_error);
    EXPECT_EQ(transcript_size(1), before);
}

TEST_F(Wrapper, ReceiverHandsOnEveryBatchUntilItEnds) {
    brg40::Converter c = brg40::Converter::open(1);
    std::mutex mutex;
    std::vector<brg40::SlaveBatch> batches;
    auto received = [&] {
        std::lock_guard<std::mutex> guard(mutex);
        return batches.size();
    };
    with_device([](sim::Converter& d) { d.i2c_slave_waiting = {1, 2, 3}; });
    {
        brg40::SlaveReceiver r = c.receive(brg40::Bus::I2c, 0x10, 0x0102, [&](const brg40::SlaveBatch& b) {
            std::lock_guard<std::mutex> guard(mutex);
            batches.push_back(b);
        });
        EXPECT_EQ(with_device([](sim::Converter& d) { return d.mode_byte; }), 0x12);
        EXPECT_THROW(c.receive(brg40::Bus::I2c, 0, 0, [](const brg40::SlaveBatch&) {}), std::logic_error);
        for (int i = 0; i < 100 && received() < 1; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        with_device([](sim::Converter& d) { d.i2c_slave_waiting = {4, 5}; });  // a second batch, same receiver
        for (int i = 0; i < 100 && received() < 2; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    EXPECT_EQ(with_device([](sim::Converter& d) { return d.mode_byte; }), 0x10);  // slave bit cleared
    EXPECT_EQ(with_device([](sim::Converter& d) { return d.mode_parameter; }), 0x0102);
    EXPECT_EQ(brg40::slave_mode_flag.load(), 0);
    with_device([](sim::Converter& d) { d.i2c_slave_waiting = {6}; });
    support::join_threads();
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0].data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(batches[0].status, (std::array<uint8_t, 4>{0xA1, 0xA2, 0xA3, 0xA4}));
    EXPECT_EQ(batches[1].data, (std::vector<uint8_t>{4, 5}));
}

TEST_F(Wrapper, NewReceiverStartsOnlyOnceTheEarlierWorkerHasSeenTheEnd) {
    brg40::Converter c = brg40::Converter::open(1);
    brg40::SlaveReceiver first = c.receive(brg40::Bus::Spi, 0, 0, [](const brg40::SlaveBatch&) {});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // its worker polls
    first.stop();
    const auto ended = std::chrono::steady_clock::now();
    std::atomic<int> batches{0};
    brg40::SlaveReceiver second = c.receive(brg40::Bus::Spi, 0, 0, [&](const brg40::SlaveBatch&) { ++batches; });
    // Sooner, the first worker would find the slave mode on again and poll beside the second.
    EXPECT_GE(std::chrono::steady_clock::now() - ended, std::chrono::milliseconds(550));
    EXPECT_TRUE(second.active());
    with_device([](sim::Converter& d) { d.spi_slave_waiting = {7}; });
    for (int i = 0; i < 100 && batches == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(batches, 1);
}

TEST_F(Wrapper, CloseWaitsUntilAStoppedReceiversWorkerHasEnded) {
    brg40::Converter c = brg40::Converter::open(1);
    brg40::SlaveReceiver r = c.receive(brg40::Bus::I2c, 0, 0, [](const brg40::SlaveBatch&) {});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // its worker polls on c's handle
    r.stop();
    const auto stopped = std::chrono::steady_clock::now();
    c.close();
    // Sooner, the worker's last request could reach whatever file took over the descriptor.
    EXPECT_GE(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(550));
    EXPECT_EQ(c.handle(), nullptr);
}

}  // namespace
