// The simulated loader on its own: reply formats, flash effects, strictness about malformed
// requests, the close byte, injected faults and the transcript.
#include <gtest/gtest.h>

#include "bytes.h"
#include "flash.h"
#include "loader.h"

namespace {

class LoaderTest : public testing::Test {
protected:
    LoaderTest() {
        for (uint32_t a = 0; a < sim::kFlashSize; ++a) {
            flash.bytes[a] = static_cast<uint8_t>(a ^ (a >> 8));
        }
    }
    void Send(const std::vector<uint8_t>& request) { loader.write(request.data(), request.size()); }
    std::vector<uint8_t> Reply(size_t size = 64) {
        std::vector<uint8_t> out(size, 0xAA);
        out.resize(loader.read(out.data(), size));
        return out;
    }
    std::vector<uint8_t> Flash(uint32_t address, uint32_t count) {
        return std::vector<uint8_t>(flash.bytes.begin() + address, flash.bytes.begin() + address + count);
    }

    sim::Flash flash;
    sim::Loader loader{flash};
};

}  // namespace

TEST_F(LoaderTest, ReadAnswersEchoAddressAndSixteenBytes) {
    Send(Bytes({0x01, 0x10, 0xE0, 0x5F, 0x00}));
    std::vector<uint8_t> expected = Bytes({0x01, 0x10, 0xE0, 0x5F, 0x00});
    const std::vector<uint8_t> data = Flash(0x5FE0, 16);
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(Reply(), expected);
    EXPECT_TRUE(Reply().empty());  // a reply is read once
    EXPECT_TRUE(loader.protocol_errors().empty());
}

TEST_F(LoaderTest, EraseClearsOneBlockOfSixtyFourBytes) {
    const std::vector<uint8_t> before = Flash(0x0800, 0x100);
    Send(Bytes({0x03, 0x01, 0x40, 0x08, 0x00}));
    EXPECT_EQ(Reply(), Bytes({0x03}));
    EXPECT_EQ(Flash(0x0840, 64), std::vector<uint8_t>(64, 0xFF));
    EXPECT_EQ(Flash(0x0800, 64), std::vector<uint8_t>(before.begin(), before.begin() + 64));
    EXPECT_EQ(Flash(0x0880, 64), std::vector<uint8_t>(before.begin() + 0x80, before.begin() + 0xC0));
}

TEST_F(LoaderTest, WriteProgramsSixteenBytesIntoErasedFlash) {
    Send(Bytes({0x03, 0x01, 0x00, 0x10, 0x00}));
    EXPECT_EQ(Reply(1), Bytes({0x03}));
    std::vector<uint8_t> request = Bytes({0x02, 0x10, 0x10, 0x10, 0x00});
    for (int i = 0; i < 16; ++i) {
        request.push_back(static_cast<uint8_t>(0xA0 + i));
    }
    Send(request);
    EXPECT_EQ(Reply(1), Bytes({0x02}));
    EXPECT_EQ(Flash(0x1010, 16), std::vector<uint8_t>(request.begin() + 5, request.end()));
    EXPECT_EQ(Flash(0x1000, 16), std::vector<uint8_t>(16, 0xFF));
    EXPECT_TRUE(loader.protocol_errors().empty());

    // Programming only clears bits; writing over programmed bytes is noted.
    request[5] = 0x0F;
    Send(request);
    EXPECT_EQ(flash.bytes[0x1010], 0xA0 & 0x0F);
    ASSERT_EQ(loader.protocol_errors().size(), 1u);
    EXPECT_NE(loader.protocol_errors()[0].find("0x001010"), std::string::npos);
}

TEST_F(LoaderTest, OneByteReadTakesTheEchoAndDropsTheRest) {
    Send(Bytes({0x01, 0x10, 0x00, 0x08, 0x00}));
    EXPECT_EQ(Reply(1), Bytes({0x01}));
    EXPECT_TRUE(Reply().empty());
}

TEST_F(LoaderTest, UnreadReplyIsDroppedByTheNextRequest) {
    Send(Bytes({0x01, 0x10, 0x00, 0x08, 0x00}));
    Send(Bytes({0x03, 0x01, 0x00, 0x08, 0x00}));
    EXPECT_EQ(Reply(), Bytes({0x03}));
}

TEST_F(LoaderTest, MalformedRequestsAreAnsweredEEAndNoted) {
    const std::vector<std::vector<uint8_t>> bad = {
        Bytes({0x01, 0x10, 0xF0, 0x07, 0x00}),  // read below 0x000800
        Bytes({0x01, 0x10, 0x00, 0x60, 0x00}),  // read at 0x006000
        Bytes({0x01, 0x10, 0x08, 0x08, 0x00}),  // read not on 16 bytes
        Bytes({0x01, 0x10, 0x00, 0x08, 0x01}),  // upper address byte
        Bytes({0x01, 0x08, 0x00, 0x08, 0x00}),  // read length 8
        Bytes({0x01, 0x10, 0x00, 0x08}),        // header cut short
        Bytes({0x03, 0x01, 0x20, 0x08, 0x00}),  // erase not on 64 bytes
        Bytes({0x03, 0x10, 0x00, 0x08, 0x00}),  // erase length 16
        Bytes({0x03, 0x01, 0xC0, 0x07, 0x00}),  // erase below 0x000800
        Bytes({0x02, 0x10, 0x00, 0x08, 0x00}),  // write without data
        Bytes({0x02, 0x10, 0x04, 0x08, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
        Bytes({0x04, 0x10, 0x00, 0x08, 0x00}),  // unknown command
        Bytes({0xFF, 0x00}),                    // close byte with something after it
        Bytes({0x00}),
    };
    const auto before = flash.bytes;
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        Send(bad[i]);
        EXPECT_EQ(Reply(), Bytes({0xEE}));
        EXPECT_EQ(loader.protocol_errors().size(), i + 1);
    }
    EXPECT_TRUE(flash.bytes == before);
    EXPECT_FALSE(loader.close_requested());
    // The error names the request and shows what arrived.
    EXPECT_NE(loader.protocol_errors()[0].find("01 10 F0 07 00"), std::string::npos) << loader.protocol_errors()[0];
}

TEST_F(LoaderTest, CloseByteIsNotAnswered) {
    Send(Bytes({0xFF}));
    EXPECT_TRUE(loader.close_requested());
    EXPECT_TRUE(Reply().empty());
    loader.start_session();
    EXPECT_FALSE(loader.close_requested());
}

TEST_F(LoaderTest, FaultsByRequestNumber) {
    struct Case {
        sim::LoaderFault fault;
        std::vector<uint8_t> request;
        std::vector<uint8_t> reply;
        bool carried_out;
    };
    std::vector<uint8_t> read_reply = Bytes({0x01, 0x10, 0x00, 0x08, 0x00});
    const Case cases[] = {
        {sim::LoaderFault::NoReply, Bytes({0x03, 0x01, 0x00, 0x08, 0x00}), {}, true},
        {sim::LoaderFault::WrongEcho, Bytes({0x03, 0x01, 0x00, 0x08, 0x00}), Bytes({0x83}), true},
        {sim::LoaderFault::ShortReply, Bytes({0x03, 0x01, 0x00, 0x08, 0x00}), {}, true},
        {sim::LoaderFault::ShortReply, Bytes({0x01, 0x10, 0x00, 0x08, 0x00}), read_reply, true},
        {sim::LoaderFault::Ignore, Bytes({0x03, 0x01, 0x00, 0x08, 0x00}), {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        sim::Flash f;
        f.bytes.fill(0x00);
        sim::Loader l(f);
        l.inject(2, c.fault);
        l.write(c.request.data(), c.request.size());  // request 1: as usual
        uint8_t reply[32];
        EXPECT_GE(l.read(reply, sizeof reply), 1u);
        f.bytes.fill(0x00);
        l.write(c.request.data(), c.request.size());  // request 2: the fault
        const size_t n = l.read(reply, sizeof reply);
        EXPECT_EQ(std::vector<uint8_t>(reply, reply + n), c.reply);
        const bool erased = f.bytes[0x800] == 0xFF;
        if (c.request[0] == 0x03) {
            EXPECT_EQ(erased, c.carried_out);
        }
        ASSERT_EQ(l.transcript().size(), 2u);
        EXPECT_EQ(l.transcript()[1].number, 2u);
        EXPECT_EQ(l.transcript()[1].fault, c.fault);
        EXPECT_EQ(l.transcript()[1].request, c.request);
    }
}

TEST_F(LoaderTest, IgnoredCloseByteDoesNotClose) {
    loader.inject(1, sim::LoaderFault::Ignore);
    Send(Bytes({0xFF}));
    EXPECT_FALSE(loader.close_requested());
    Send(Bytes({0xFF}));
    EXPECT_TRUE(loader.close_requested());
    EXPECT_EQ(loader.request_count(), 2u);
}

TEST_F(LoaderTest, TranscriptCanBeTurnedOff) {
    loader.set_recording(false);
    Send(Bytes({0x03, 0x01, 0x00, 0x08, 0x00}));
    EXPECT_TRUE(loader.transcript().empty());
    EXPECT_EQ(loader.request_count(), 1u);
    loader.set_recording(true);
    Send(Bytes({0x03, 0x01, 0x40, 0x08, 0x00}));
    ASSERT_EQ(loader.transcript().size(), 1u);
    EXPECT_EQ(loader.transcript()[0].number, 2u);
}
