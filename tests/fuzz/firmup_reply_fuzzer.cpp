// libFuzzer target for the judging of the loader's replies. The simulated converter answers a
// programming run and a closing check; before each reply reaches the tool, the input may cut it
// short, change its echo or a byte, or keep the pipe from opening. Once the input is used up the
// device is gone. Whatever comes back: nothing is sent after the first failed exchange, the run
// completes only when every exchange was answered, and the close byte goes only after 1408 good
// reads whose bytes, as delivered, carry a matching checksum.
#include <cstdint>
#include <cstring>
#include <vector>

#include "converter.h"
#include "dialog_events.h"
#include "fuzz_support.h"
#include "image_gen.h"

namespace {

class ReplyPipe : public UpdatePipe {
public:
    ReplyPipe(const uint8_t* data, size_t size) : m_data(data), m_size(size) {
        sim::ScsiRequest order;  // command 254: into update mode
        order.cdb[0] = 254;
        order.cdb_length = 10;
        order.timeout_s = 10;
        converter.scsi(order);
    }

    int Write(const uint8_t* data, uint32_t size) override {
        if (m_failed) {
            sentAfterFailure = true;
        }
        if (size == 1 && data[0] == CMD_CLOSE_SESSION) {
            closeSent = true;
        }
        m_command = data[0];
        m_address = size >= 5 ? static_cast<uint32_t>(data[2] | data[3] << 8 | data[4] << 16) : 0;
        converter.pipe_write(data, size);
        return 1;
    }

    int Read(uint8_t* out, uint32_t size) override {
        uint8_t reply[64] = {};
        const uint32_t n = size < sizeof reply ? size : static_cast<uint32_t>(sizeof reply);
        int count = static_cast<int>(converter.pipe_read(reply, n));
        const uint8_t control = Next(0xFC);  // used up: the device is gone
        if (control >= 0xFC) {
            count = -1;
        } else if (control >= 0xF8 && count > 0) {
            reply[Next(0) % count] = Next(0);
        } else if (control >= 0xF4) {
            count = count > 0 ? Next(0) % count : 0;
        } else if (control >= 0xF0 && count > 0) {
            reply[0] = Next(0);
        }
        if (count > 0) {
            std::memcpy(out, reply, static_cast<size_t>(count));
        }
        ++exchanges;
        const bool whole = m_command != CMD_READ_FLASH || count == static_cast<int>(kReadReplySize);
        if (count <= 0 || out[0] != m_command || (!whole && m_address == kPreservedAddress && !inClose)) {
            m_failed = true;
        } else if (inClose && whole) {
            delivered.insert(delivered.end(), out + kReplyDataOffset, out + kReplyDataOffset + kFlashBlockSize);
        }
        if (inClose && count > 0 && !whole) {
            shortInClose = true;  // the check does not look at the count; its checksum must catch it
            delivered.insert(delivered.end(), out + kReplyDataOffset, out + kReplyDataOffset + kFlashBlockSize);
        }
        return count;
    }

    std::string DeviceId() override { return "fuzz"; }

    bool failed() const { return m_failed; }
    void Reset() { m_failed = false; }

    sim::Converter converter;
    bool inClose = false;
    bool closeSent = false;
    bool sentAfterFailure = false;
    bool shortInClose = false;
    uint32_t exchanges = 0;
    std::vector<uint8_t> delivered;  // the data of the close's reads as the tool received them

private:
    uint8_t Next(uint8_t whenUsedUp) { return m_pos < m_size ? m_data[m_pos++] : whenUsedUp; }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    uint8_t m_command = 0;
    uint32_t m_address = 0;
    bool m_failed = false;
};

const std::string& ImagePath() {
    static const FuzzFile file("reply.fwu");
    static const bool written = sim::write_file(file.path.c_str(), sim::make_image({}));  // 1.05
    Check(written, "image file");
    return file.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReplyPipe pipe(data, size);
    FuzzDialog face;
    FirmupProgramState state;
    const RunOutcome outcome = ProgramFirmware(ImagePath().c_str(), 0x0104, face, pipe, state);
    Check(!pipe.sentAfterFailure, "nothing sent after a failed exchange of the run");
    Check((outcome == RunOutcome::Completed) == !pipe.failed(), "the run completes only when every exchange did");
    Check(outcome != RunOutcome::Completed || pipe.exchanges == 1 + 352 + 1408, "a completed run made every exchange");

    pipe.Reset();
    pipe.inClose = true;
    const bool closed = CloseUpdateSession(face, pipe, state);
    Check(!pipe.sentAfterFailure, "nothing sent after a failed read of the check");
    Check(closed == pipe.closeSent, "the check's result is whether the close byte went");
    if (closed) {
        const std::vector<uint8_t>& image = pipe.delivered;
        Check(!pipe.failed() && image.size() == kImageSize, "1408 good reads before the close byte");
        const uint16_t stored = static_cast<uint16_t>(image[kImageSize - 7] << 8 | image[kImageSize - 8]);
        Check(ImageChecksum(image.data(), kImageSize - kTrailerSize) == stored, "checksum of what was read");
    }
    return 0;
}
