// The simulated converter's normal-mode face (INQUIRY and the vendor commands, each checked
// against the command table), the switch into and out of update mode, and the bench of devices.
#include "converter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "image_gen.h"

namespace sim {

namespace {

constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kInquiryLength = 36;
constexpr uint32_t kShortTimeout = 5;
constexpr uint32_t kLongTimeout = 10;

// How one vendor command must arrive.
struct Rule {
    uint8_t code;
    Direction direction;
    uint8_t fixed_bytes;  // transfer length of a fixed-size command (also in CDB byte 8), or 0
    bool variable;        // length in CDB bytes 7-8; the transfer is that length, 2 for a length of 1
    uint32_t timeout_s;
    uint16_t operand_bytes;  // bit i set: CDB byte i carries an operand (any value)
};

constexpr uint16_t B(int i) {
    return static_cast<uint16_t>(1u << i);
}
constexpr uint16_t kLength = B(7) | B(8);

// clang-format off
const Rule kRules[] = {
    {218, Direction::In, 4, false, kShortTimeout, 0},
    {219, Direction::Out, 0, false, kShortTimeout, B(2)},
    {220, Direction::Out, 0, false, kShortTimeout, B(2)},
    {221, Direction::Out, 0, false, kShortTimeout, B(2) | B(3) | B(4)},
    {222, Direction::In, 8, false, kShortTimeout, 0},
    {225, Direction::Out, 0, false, kShortTimeout, B(2)},
    {226, Direction::In, 4, false, kShortTimeout, 0},
    {232, Direction::Out, 0, false, kShortTimeout, B(2)},
    {233, Direction::Out, 0, false, kShortTimeout, 0},
    {234, Direction::Out, 0, false, kShortTimeout, B(2) | B(3)},
    {235, Direction::In, 0, true, kShortTimeout, B(2) | B(3) | B(4) | kLength},
    {236, Direction::Out, 0, true, kShortTimeout, B(2) | B(3) | B(4) | kLength},
    {237, Direction::In, 0, true, kShortTimeout, kLength},
    {238, Direction::Out, 0, true, kShortTimeout, kLength},
    {239, Direction::In, 6, false, kShortTimeout, 0},
    {240, Direction::Out, 0, false, kShortTimeout, B(2) | B(3) | B(4)},
    {241, Direction::Out, 0, true, kShortTimeout, B(2) | kLength},
    {242, Direction::In, 0, true, kShortTimeout, kLength},
    {243, Direction::Out, 0, true, kShortTimeout, kLength},
    {244, Direction::In, 0, true, kShortTimeout, kLength},
    {245, Direction::In, 6, false, kShortTimeout, 0},
    {248, Direction::In, 0, true, kLongTimeout, B(5) | kLength},
    {249, Direction::Out, 0, true, kLongTimeout, B(5) | kLength},
    {250, Direction::In, 2, false, kLongTimeout, B(2)},
    {251, Direction::Out, 0, false, kLongTimeout, B(2) | B(4)},
    {254, Direction::Out, 0, false, kLongTimeout, 0},
};
// clang-format on

const uint16_t kI2cSpeeds[] = {1000, 400, 100};
const uint16_t kSpiSteps[] = {12000, 3000, 750, 500, 250, 100, 50, 30, 10, 3};

const Rule* find_rule(uint8_t code) {
    for (const Rule& r : kRules) {
        if (r.code == code) {
            return &r;
        }
    }
    return nullptr;
}

uint16_t word_at(const uint8_t* cdb, int i) {
    return static_cast<uint16_t>(cdb[i] << 8 | cdb[i + 1]);
}

uint32_t transfer_for(uint16_t length) {
    return length == 1 ? 2 : length;
}

// "CDB EB 00 12 34 ... dir in len 2 timeout 5 data yes"
std::string describe(const uint8_t* cdb,
                     unsigned cdb_length,
                     Direction direction,
                     uint32_t length,
                     uint32_t timeout_s,
                     bool data) {
    std::string out = "CDB";
    char part[48];
    for (unsigned i = 0; i < cdb_length; ++i) {
        std::snprintf(part, sizeof part, " %02X", cdb[i]);
        out += part;
    }
    std::snprintf(part, sizeof part, " dir %s len %u timeout %u data %s", direction == Direction::In ? "in" : "out",
                  length, timeout_s, data ? "yes" : "no");
    return out + part;
}

void copy_padded(uint8_t* out, const std::string& text, size_t size) {
    std::memset(out, ' ', size);
    std::memcpy(out, text.data(), std::min(size, text.size()));
}

// Fills the transfer buffer from `source`, then `pad`.
void hand_out(uint8_t* data, uint32_t transfer, const std::vector<uint8_t>& source, uint8_t pad) {
    const size_t n = std::min<size_t>(transfer, source.size());
    std::copy_n(source.begin(), n, data);
    std::fill(data + n, data + transfer, pad);
}

std::vector<uint8_t> preserved_for(uint32_t serial) {
    std::vector<uint8_t> value(16);
    uint32_t x = serial * 0x9E3779B1u + 0x5FE0u;
    for (auto& b : value) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return value;
}

}  // namespace

ScsiReply sense_reply(uint8_t key, uint8_t asc, uint8_t ascq) {
    ScsiReply reply;
    reply.sense[0] = 0x70;  // current error, fixed format
    reply.sense[2] = key;
    reply.sense[7] = 10;  // additional sense length
    reply.sense[12] = asc;
    reply.sense[13] = ascq;
    return reply;
}

ScsiReply failed_reply(uint32_t os_error) {
    ScsiReply reply;
    reply.os_error = os_error;
    return reply;
}

Converter::Converter(Identity identity, uint8_t major, uint8_t minor, uint32_t serial)
    : identity_(std::move(identity)), loader_(flash_), preserved_(preserved_for(serial)) {
    for (uint32_t a = 0; a < kAppStart; ++a) {
        flash_.bytes[a] = static_cast<uint8_t>(a * 7 + 3);  // the resident loader's own code
    }
    ImageSpec spec;
    spec.major = major;
    spec.minor = minor;
    spec.size = kImageSize;
    spec.seed = serial;
    const std::vector<uint8_t> image = make_image(spec);
    std::copy(image.begin(), image.end(), flash_.bytes.begin() + kAppStart);
    std::copy(preserved_.begin(), preserved_.end(), flash_.bytes.begin() + kPreservedAddress);
    const uint16_t sum = flash_.computed_checksum();  // the preserved block is part of the sum
    flash_.bytes[0x5FF8] = static_cast<uint8_t>(sum & 0xFF);
    flash_.bytes[0x5FF9] = static_cast<uint8_t>(sum >> 8);
}

void Converter::fail_command(uint8_t code, const ScsiReply& reply, int times, bool carried) {
    if (times == 0) {
        failures_.erase(code);
        return;
    }
    failures_[code] = {reply, times, carried};
}

ScsiReply Converter::scsi(const ScsiRequest& request) {
    CommandRecord* record = nullptr;
    if (recording_) {
        transcript_.push_back(CommandRecord{request, {}, {}, {}});
        record = &transcript_.back();
    }
    auto finish = [&](const ScsiReply& reply) {
        if (record != nullptr) {
            record->reply = reply;
        }
        return reply;
    };
    if (!plugged_ || mode_ != Mode::Normal) {
        return finish(failed_reply(BRG40_ERROR_GEN_FAILURE));  // gone from the LPT names
    }

    // What the request should have been, built from what arrived and the command table.
    const uint8_t code = request.cdb[0];
    uint8_t expected_cdb[16] = {};
    expected_cdb[0] = code;
    uint8_t expected_cdb_length = 10;
    Direction expected_direction = Direction::Out;
    uint32_t expected_length = 0;
    uint32_t expected_timeout = kShortTimeout;
    bool data_required = false;   // data pointer must be set
    bool data_forbidden = false;  // data pointer must be null
    const char* problem = nullptr;
    const Rule* rule = code == kInquiry ? nullptr : find_rule(code);
    if (code == kInquiry) {
        expected_cdb_length = 6;
        expected_cdb[4] = kInquiryLength;
        expected_direction = Direction::In;
        expected_length = kInquiryLength;
        data_required = true;
    } else if (rule == nullptr) {
        problem = "unknown command";
    } else {
        for (int i = 1; i < 10; ++i) {
            if (rule->operand_bytes & B(i)) {
                expected_cdb[i] = request.cdb[i];
            }
        }
        if (rule->fixed_bytes != 0) {
            expected_cdb[8] = rule->fixed_bytes;
        }
        expected_direction = rule->direction;
        expected_timeout = rule->timeout_s;
        if (rule->variable) {
            expected_length = transfer_for(word_at(request.cdb, 7));
            data_required = expected_length != 0;
        } else {
            expected_length = rule->fixed_bytes;
            data_required = expected_length != 0;
            data_forbidden = expected_length == 0;
        }
        if (code == 234 &&
            std::find(std::begin(kI2cSpeeds), std::end(kI2cSpeeds), word_at(request.cdb, 2)) == std::end(kI2cSpeeds)) {
            problem = "I2C speed not 1000, 400 or 100";
        }
        if (code == 240 &&
            std::find(std::begin(kSpiSteps), std::end(kSpiSteps), word_at(request.cdb, 2)) == std::end(kSpiSteps)) {
            problem = "SPI frequency not a supported step";
        }
    }
    const bool has_data = request.data != nullptr;
    const bool matches =
        request.cdb_length == expected_cdb_length && std::memcmp(request.cdb, expected_cdb, sizeof expected_cdb) == 0 &&
        request.direction == expected_direction && request.transfer_length == expected_length &&
        request.timeout_s == expected_timeout && !(data_required && !has_data) && !(data_forbidden && has_data);
    if (!request.block_was_clean) {
        problem = "block not zeroed before the request";
    } else if (problem == nullptr && !matches) {
        problem = "does not match the command table";
    }
    if (problem != nullptr) {
        char head[80];
        std::snprintf(head, sizeof head, "command 0x%02X: %s; received ", code, problem);
        errors_.push_back(head +
                          describe(request.cdb, std::max<unsigned>(request.cdb_length, 1), request.direction,
                                   request.transfer_length, request.timeout_s, has_data) +
                          "; expected " +
                          describe(expected_cdb, expected_cdb_length, expected_direction, expected_length,
                                   expected_timeout, data_required || (!data_forbidden && has_data)));
        return finish(failed_reply(BRG40_ERROR_INVALID_PARAMETER));
    }

    if (record != nullptr && request.direction == Direction::Out && has_data) {
        record->data_out.assign(request.data, request.data + request.transfer_length);
    }
    bool answerInjected = false;
    ScsiReply injected;
    auto failure = failures_.find(code);
    if (failure != failures_.end()) {
        injected = failure->second.reply;
        const bool carried = failure->second.carried;
        if (failure->second.times > 0 && --failure->second.times == 0) {
            failures_.erase(failure);
        }
        if (!carried) {
            return finish(injected);
        }
        answerInjected = true;
    }

    ScsiReply reply;
    uint8_t* data = request.data;
    const uint32_t transfer = request.transfer_length;
    const uint8_t* cdb = request.cdb;
    const uint16_t length = word_at(cdb, 7);  // variable-length commands
    switch (code) {
        case kInquiry:
            std::memset(data, 0, kInquiryLength);
            data[2] = 0x05;  // version
            data[3] = 0x02;  // response data format
            data[4] = kInquiryLength - 5;
            copy_padded(&data[8], identity_.vendor, 8);
            copy_padded(&data[16], identity_.product, 16);
            copy_padded(&data[32], identity_.revision, 4);
            break;
        case 218:
            // Bytes 0 and 1 carry nothing the host uses; make them visible if it does.
            data[0] = 0xEE;
            data[1] = 0xEE;
            data[2] = flash_.version_major();
            data[3] = flash_.version_minor();
            break;
        case 219:
            led = cdb[2];
            break;
        case 220:
            power = cdb[2];
            break;
        case 221:
            mode_parameter = word_at(cdb, 2);
            mode_byte = cdb[4];
            break;
        case 222:
            std::memcpy(data, hw_reply, sizeof hw_reply);
            break;
        case 225:
            outputs = cdb[2];
            break;
        case 226:
            data[0] = outputs;
            data[1] = data[2] = data[3] = 0;
            break;
        case 232:
            pullup = cdb[2];
            break;
        case 233:
            ++i2c_bus_resets;
            break;
        case 234:
            i2c_khz = word_at(cdb, 2);
            break;
        case 235:
        case 236:
            i2c_target_word = word_at(cdb, 2);
            i2c_target_byte = cdb[4];
            if (i2c_target_word < 0x80 && i2c_memories.count(static_cast<uint8_t>(i2c_target_word)) != 0) {
                I2cMemory& memory = i2c_memories[static_cast<uint8_t>(i2c_target_word)];
                if (code == 235) {
                    memory.read(i2c_target_byte, data, transfer);
                } else {
                    memory.write(i2c_target_byte, data, length);
                }
            } else if (!i2c_present.empty() &&
                       std::find(i2c_present.begin(), i2c_present.end(), i2c_target_word) == i2c_present.end()) {
                reply = sense_reply(3, 0x80, 1);  // no device acknowledged the address
            } else if (code == 235) {
                hand_out(data, transfer, i2c_master_reply, 0xFF);
            } else {
                i2c_master_written.assign(data, data + length);  // the pad byte of a 1-byte write is not data
            }
            break;
        case 237:
        case 244: {
            std::vector<uint8_t>& waiting = code == 237 ? i2c_slave_waiting : spi_slave_waiting;
            const size_t n = std::min<size_t>(length, waiting.size());
            std::copy_n(waiting.begin(), n, data);
            std::fill(data + n, data + transfer, uint8_t{0});
            waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(n));
            break;
        }
        case 238:
            i2c_response.assign(data, data + length);
            break;
        case 239:
        case 245: {
            const size_t waiting = (code == 239 ? i2c_slave_waiting : spi_slave_waiting).size();
            const uint16_t count = static_cast<uint16_t>(std::min<size_t>(waiting, 0xFFFF));
            data[0] = static_cast<uint8_t>(count >> 8);
            data[1] = static_cast<uint8_t>(count);
            std::memcpy(&data[2], slave_status, sizeof slave_status);
            break;
        }
        case 240:
            spi_step = word_at(cdb, 2);
            spi_setting = cdb[4];
            break;
        case 241:
            spi_setting = cdb[2];
            spi_master_written.assign(data, data + length);
            if (spi_flash) {
                spi_master_reply.resize(length);
                spi_flash->frame(data, spi_master_reply.data(), length);
            }
            break;
        case 242:
            hand_out(data, transfer, spi_master_reply, 0xFF);
            break;
        case 243:
            spi_response.assign(data, data + length);
            break;
        case 248:
        case 249:
            // The EEPROM is addressed from its start; more than it holds is an illegal request.
            if (length > eeprom.size()) {
                reply = sense_reply(5, 0x21, 0);
            } else if (code == 248) {
                std::copy_n(eeprom.begin(), length, data);
                std::fill(data + length, data + transfer, uint8_t{0});
            } else {
                std::copy_n(data, length, eeprom.begin());
            }
            break;
        case 250: {
            auto reg = debug_registers.find(cdb[2]);
            data[0] = reg == debug_registers.end() ? 0 : reg->second;
            data[1] = 0;
            break;
        }
        case 251:
            debug_registers[cdb[2]] = cdb[4];
            break;
        case 254:
            // Leaves the LPT names and comes back as the update-mode device.
            mode_ = Mode::Update;
            loader_.start_session();
            break;
    }
    if (record != nullptr && request.direction == Direction::In && has_data) {
        record->data_in.assign(data, data + transfer);
    }
    return finish(answerInjected ? injected : reply);
}

void Converter::pipe_write(const uint8_t* data, size_t size) {
    if (!plugged_ || mode_ != Mode::Update) {
        return;
    }
    loader_.write(data, size);
    if (loader_.close_requested()) {
        // The loader starts the application only when its stored checksum matches.
        if (flash_.image_intact()) {
            mode_ = Mode::Normal;
        } else {
            loader_.start_session();
        }
    }
}

size_t Converter::pipe_read(uint8_t* out, size_t size) {
    if (!plugged_ || mode_ != Mode::Update) {
        return 0;
    }
    return loader_.read(out, size);
}

Converter& Bench::attach(int lpt, Identity identity, uint8_t major, uint8_t minor) {
    devices_.erase(lpt);
    auto placed =
        devices_.emplace(std::piecewise_construct, std::forward_as_tuple(lpt),
                         std::forward_as_tuple(std::move(identity), major, minor, static_cast<uint32_t>(lpt)));
    UsbIdentity usb;
    usb.serial = "SIM000" + std::to_string(lpt);
    usb.port = "1-" + std::to_string(lpt);
    placed.first->second.set_usb(usb);
    if (changed) {
        changed();
    }
    return placed.first->second;
}

void Bench::detach(int lpt) {
    devices_.erase(lpt);
    if (changed) {
        changed();
    }
}

Converter* Bench::at(int lpt) {
    Converter* c = device(lpt);
    return c != nullptr && c->plugged() && c->mode() == Mode::Normal ? c : nullptr;
}

Converter* Bench::device(int lpt) {
    auto it = devices_.find(lpt);
    return it == devices_.end() ? nullptr : &it->second;
}

Converter* Bench::update_device(int lpt) {
    Converter* c = device(lpt);
    return c != nullptr && c->plugged() && c->mode() == Mode::Update ? c : nullptr;
}

std::vector<int> Bench::numbers() const {
    std::vector<int> out;
    for (const auto& entry : devices_) {
        out.push_back(entry.first);
    }
    return out;
}

}  // namespace sim
