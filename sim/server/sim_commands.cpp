// The text commands of the simulator process: set up the bench, inject faults, and report what
// the devices saw. Each answer starts with "ok" or "error: ..."; details follow on lines.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bus_device_text.h"
#include "command_text.h"
#include "os_errors.h"
#include "sim_host.h"
#include "../../update/version_text.h"

namespace sim {

namespace {

using Words = std::vector<std::string>;

const char* mode_name(Converter* c) {
    if (c == nullptr) {
        return "detached";
    }
    if (!c->plugged()) {
        return "unplugged";
    }
    return c->mode() == Mode::Update ? "update" : "normal";
}

std::string reply_text(const ScsiReply& r) {
    if (r.os_error != 0) {
        return "oserror " + std::to_string(r.os_error);
    }
    if ((r.sense[2] & 0x0F) != 0) {
        return "sense " + hex(&r.sense[2], 1) + "/" + hex(&r.sense[12], 1) + "/" + hex(&r.sense[13], 1);
    }
    return "ok";
}

struct LoaderFaultName {
    const char* name;
    LoaderFault fault;
};
const LoaderFaultName kLoaderFaults[] = {
    {"none", LoaderFault::None},        {"noreply", LoaderFault::NoReply}, {"wrongecho", LoaderFault::WrongEcho},
    {"short", LoaderFault::ShortReply}, {"ignore", LoaderFault::Ignore},
};

const char* loader_fault_name(LoaderFault fault) {
    for (const LoaderFaultName& f : kLoaderFaults) {
        if (f.fault == fault) {
            return f.name;
        }
    }
    return "?";
}

// Byte fields of a converter that `set` and `get` reach, by name.
struct ByteField {
    const char* name;
    uint8_t Converter::*member;
};
const ByteField kByteFields[] = {
    {"outputs", &Converter::outputs},     {"power", &Converter::power},   {"led", &Converter::led},
    {"mode-byte", &Converter::mode_byte}, {"pullup", &Converter::pullup}, {"spi-setting", &Converter::spi_setting},
};

struct WordField {
    const char* name;
    uint16_t Converter::*member;
};
const WordField kWordFields[] = {
    {"mode-parameter", &Converter::mode_parameter},
    {"i2c-khz", &Converter::i2c_khz},
    {"spi-step", &Converter::spi_step},
};

struct BytesField {
    const char* name;
    std::vector<uint8_t> Converter::*member;
};
const BytesField kBytesFields[] = {
    {"eeprom", &Converter::eeprom},
    {"i2c-response", &Converter::i2c_response},
    {"spi-response", &Converter::spi_response},
    {"i2c-waiting", &Converter::i2c_slave_waiting},
    {"spi-waiting", &Converter::spi_slave_waiting},
    {"i2c-written", &Converter::i2c_master_written},
    {"spi-written", &Converter::spi_master_written},
    {"i2c-master-reply", &Converter::i2c_master_reply},
    {"spi-master-reply", &Converter::spi_master_reply},
    {"i2c-present", &Converter::i2c_present},
};

}  // namespace

// The command handlers; a friend of SimHost.
struct Commands {
    using Handler = std::string (*)(SimHost&, const Words&);
    struct Entry {
        const char* name;
        const char* usage;
        size_t min_args;
        Handler run;
    };
    static const Entry kTable[];

    // The device attached as LPTn (any mode), or null with an error answer.
    static Converter* device(SimHost& host, const std::string& word, std::string& answer) {
        unsigned long n = 0;
        if (!parse_number(word, 9, n) || n == 0) {
            answer = error("no device number 1 to 9: " + word);
            return nullptr;
        }
        Converter* c = host.bench_.device(static_cast<int>(n));
        if (c == nullptr) {
            answer = error("nothing attached at " + word);
        }
        return c;
    }

    static std::string help(SimHost&, const Words&) {
        std::string out = "ok";
        for (const Entry* e = kTable; e->name != nullptr; ++e) {
            out += std::string("\n") + e->name + " " + e->usage;
        }
        return out;
    }

    static std::string version(SimHost&, const Words&) { return "ok\nbrg40sim 1"; }

    static std::string attach(SimHost& host, const Words& w) {
        unsigned long n = 0;
        if (!parse_number(w[1], 9, n) || n == 0) {
            return error("no device number 1 to 9: " + w[1]);
        }
        Identity identity;
        uint8_t major = 1, minor = 4;
        UsbIdentity usb;
        usb.serial = "SIM000" + w[1];
        usb.port = "1-" + w[1];
        for (size_t i = 2; i < w.size(); ++i) {
            const size_t eq = w[i].find('=');
            const std::string key = w[i].substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : w[i].substr(eq + 1);
            if (key == "vendor") {
                identity.vendor = value;
            } else if (key == "product") {
                identity.product = value;
            } else if (key == "revision") {
                identity.revision = value;
            } else if (key == "version") {
                if (!parse_version(value, major, minor)) {
                    return error("version is major.minor in hex digits: " + value);
                }
            } else if (key == "serial") {
                usb.serial = value;  // empty: the device reports no serial
            } else if (key == "port") {
                if (!port_path_ok(value)) {
                    return error("port is <bus>-<port> as sysfs names a USB device (1-3): " + value);
                }
                usb.port = value;
            } else if (key == "update-serial") {
                if (value != "0" && value != "1") {
                    return error("update-serial is 1 (the update-mode device keeps the serial) or 0: " + value);
                }
                usb.update_keeps_serial = value == "1";
            } else {
                return error("unknown attach setting: " + w[i]);
            }
        }
        for (int other : host.bench_.numbers()) {
            const UsbIdentity& taken = host.bench_.device(other)->usb();
            if (other != static_cast<int>(n) &&
                (taken.port == usb.port || (!usb.serial.empty() && taken.serial == usb.serial))) {
                return error("unit " + std::to_string(other) + " has that port or serial already");
            }
        }
        host.bench_.attach(static_cast<int>(n), identity, major, minor).set_usb(usb);
        host.note("attach lpt" + w[1] + " " + identity.vendor + "/" + identity.product + " " +
                  VersionText(static_cast<unsigned>(major) << 8 | minor) + " port " + usb.port + " serial " +
                  (usb.serial.empty() ? "-" : usb.serial) + (usb.update_keeps_serial ? "" : " (not in update mode)"));
        host.sync();
        return "ok";
    }

    static std::string detach(SimHost& host, const Words& w) {
        std::string answer;
        if (device(host, w[1], answer) == nullptr) {
            return answer;
        }
        host.bench_.detach(std::stoi(w[1]));
        host.note("detach lpt" + w[1]);
        host.sync();
        return "ok";
    }

    static std::string plug(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        if (w[0] == "unplug") {
            c->unplug();
        } else {
            c->replug();
        }
        host.note(w[0] + " lpt" + w[1]);
        host.sync();
        return "ok";
    }

    static std::string fail(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        unsigned long code = 0, a = 0, b = 0, q = 0, times = 0;
        if (!parse_number(w[2], 255, code)) {
            return error("command code 0 to 255: " + w[2]);
        }
        ScsiReply reply;
        size_t next = 0;
        if (w[3] == "sense" && w.size() >= 7 && parse_number(w[4], 15, a) && parse_number(w[5], 255, b) &&
            parse_number(w[6], 255, q)) {
            reply.sense[0] = 0x70;  // fixed format, current error
            reply.sense[2] = static_cast<uint8_t>(a);
            reply.sense[7] = 10;  // additional length of an 18-byte block
            reply.sense[12] = static_cast<uint8_t>(b);
            reply.sense[13] = static_cast<uint8_t>(q);
            next = 7;
        } else if (w[3] == "oserror" && w.size() >= 5 && parse_number(w[4], 0xFFFFFFFFul, a) && a != 0) {
            if (errno_for_windows_error(static_cast<uint32_t>(a)) == 0) {
                std::string carried;
                for (size_t i = 0; i < kErrnoMappingCount; ++i) {
                    carried += " " + std::to_string(kErrnoMappings[i].windows_error);
                }
                return error("the bridge cannot hand Windows error " + w[4] + " to Wine; it carries" + carried);
            }
            reply.os_error = static_cast<uint32_t>(a);
            next = 5;
        } else {
            return error(
                "usage: fail N CODE sense KEY ASC ASCQ [TIMES] [carried] | fail N CODE oserror ERROR [TIMES] "
                "[carried]");
        }
        int count = -1;
        const bool carried = w.back() == "carried";
        const size_t end = carried ? w.size() - 1 : w.size();
        if (end > next) {
            if (!parse_number(w[next], 1000000, times) || times == 0) {
                return error("times is a count from 1: " + w[next]);
            }
            count = static_cast<int>(times);
        }
        c->fail_command(static_cast<uint8_t>(code), reply, count, carried);
        host.note("fail lpt" + w[1] + " " + w[2] + " " + reply_text(reply) + " times=" + std::to_string(count) +
                  (carried ? " carried" : ""));
        return "ok";
    }

    static std::string clear_failures(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        c->clear_failures();
        return "ok";
    }

    static std::string loader_fault(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        unsigned long number = 0;
        if (!parse_number(w[2], 0xFFFFFFFFul, number) || number == 0) {
            return error("exchange number from 1: " + w[2]);
        }
        for (const LoaderFaultName& f : kLoaderFaults) {
            if (w[3] == f.name) {
                c->loader().inject(static_cast<uint32_t>(number), f.fault);
                host.note("loader-fault lpt" + w[1] + " #" + w[2] + " " + f.name);
                return "ok";
            }
        }
        return error("fault is none, noreply, wrongecho, short or ignore: " + w[3]);
    }

    static std::string loader_clear(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        c->loader().clear_faults();
        return "ok";
    }

    static std::string state(SimHost& host, const Words&) {
        const wire::BenchState s = host.state_;
        std::string out = "ok\ngeneration=" + std::to_string(s.generation) + " update=" + numbers_of(s.update_mask);
        for (int n = 1; n <= 9; ++n) {
            Converter* c = host.bench_.device(n);
            if (c == nullptr) {
                continue;
            }
            out += "\nlpt" + std::to_string(n) + " mode=" + mode_name(c) +
                   " version=" + VersionText(c->flash().version()) +
                   " intact=" + (c->flash().image_intact() ? "1" : "0") + " vendor=\"" + c->identity().vendor +
                   "\" product=\"" + c->identity().product + "\" port=" + c->usb().port +
                   " serial=" + (c->serial_now().empty() ? "-" : c->serial_now());
        }
        return out;
    }

    static std::string mode(SimHost& host, const Words& w) {
        unsigned long n = 0;
        if (!parse_number(w[1], 9, n) || n == 0) {
            return error("no device number 1 to 9: " + w[1]);
        }
        return std::string("ok\n") + mode_name(host.bench_.device(static_cast<int>(n)));
    }

    static std::string transcript(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        std::string out = "ok";
        size_t i = 0;
        for (const CommandRecord& rec : c->transcript()) {
            const ScsiRequest& r = rec.request;
            out += "\n#" + std::to_string(++i) + " cdb=" + hex(r.cdb, r.cdb_length) +
                   " dir=" + (r.direction == Direction::In ? "in" : "out") +
                   " len=" + std::to_string(r.transfer_length) + " timeout=" + std::to_string(r.timeout_s) +
                   " clean=" + (r.block_was_clean ? "1" : "0");
            if (!rec.data_out.empty()) {
                out += " out=" + hex(rec.data_out);
            }
            out += " -> " + reply_text(rec.reply);
        }
        if (w.size() > 2 && w[2] == "clear") {
            c->clear_transcript();
        }
        return out;
    }

    static std::string clear_transcript(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        c->clear_transcript();
        return "ok";
    }

    static std::string loader_transcript(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        std::string out = "ok";
        for (const LoaderRecord& rec : c->loader().transcript()) {
            out += "\n#" + std::to_string(rec.number) + " " + hex(rec.request);
            if (rec.fault != LoaderFault::None) {
                out += std::string(" fault=") + loader_fault_name(rec.fault);
            }
        }
        return out;
    }

    static std::string protocol_errors(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        std::string out = "ok";
        for (const std::string& e : c->protocol_errors()) {
            out += "\n" + e;
        }
        for (const std::string& e : c->loader().protocol_errors()) {
            out += "\nloader: " + e;
        }
        return out;
    }

    static std::string bridge_errors(SimHost& host, const Words& w) {
        std::string out = "ok";
        for (const std::string& e : host.bridge_errors_) {
            out += "\n" + e;
        }
        if (w.size() > 1 && w[1] == "clear") {
            host.bridge_errors_.clear();
        }
        return out;
    }

    static std::string events(SimHost& host, const Words& w) {
        std::string out = "ok";
        for (const std::string& e : host.events_) {
            out += "\n" + e;
        }
        if (w.size() > 1 && w[1] == "clear") {
            host.events_.clear();
        }
        return out;
    }

    static std::string flash(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        const Flash& f = c->flash();
        char sums[64];
        std::snprintf(sums, sizeof sums, " stored=%04X computed=%04X", f.stored_checksum(), f.computed_checksum());
        const std::vector<uint8_t> own = c->preserved_value();
        const std::string held = hex(&f.bytes[kPreservedAddress], 16);
        return "ok\nversion=" + VersionText(f.version()) + sums + " intact=" + (f.image_intact() ? "1" : "0") +
               "\npreserved=" + held + " own=" + hex(own) + " kept=" + (held == hex(own) ? "1" : "0");
    }

    static std::string save_flash(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        FILE* f = std::fopen(w[2].c_str(), "wb");
        if (f == nullptr) {
            return error("cannot write " + w[2]);
        }
        const size_t written = std::fwrite(c->flash().bytes.data(), 1, kFlashSize, f);
        const bool closed = std::fclose(f) == 0;
        return written == kFlashSize && closed ? "ok" : error("short write to " + w[2]);
    }

    static std::string set(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        unsigned long v = 0;
        for (const ByteField& f : kByteFields) {
            if (w[2] == f.name) {
                if (!parse_number(w[3], 255, v)) {
                    return error("byte value 0 to 255: " + w[3]);
                }
                c->*f.member = static_cast<uint8_t>(v);
                return "ok";
            }
        }
        for (const WordField& f : kWordFields) {
            if (w[2] == f.name) {
                if (!parse_number(w[3], 0xFFFF, v)) {
                    return error("word value 0 to 65535: " + w[3]);
                }
                c->*f.member = static_cast<uint16_t>(v);
                return "ok";
            }
        }
        std::vector<uint8_t> bytes;
        if (!parse_hex(w[3], bytes)) {
            return error("hex bytes or -: " + w[3]);
        }
        for (const BytesField& f : kBytesFields) {
            if (w[2] == f.name) {
                c->*f.member = bytes;
                return "ok";
            }
        }
        if (w[2] == "hw" || w[2] == "slave-status") {
            uint8_t* target = w[2] == "hw" ? c->hw_reply : c->slave_status;
            const size_t size = w[2] == "hw" ? sizeof c->hw_reply : sizeof c->slave_status;
            if (bytes.size() != size) {
                return error(w[2] + " takes " + std::to_string(size) + " bytes");
            }
            std::memcpy(target, bytes.data(), size);
            return "ok";
        }
        return error("unknown field: " + w[2]);
    }

    static std::string get(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr) {
            return answer;
        }
        for (const ByteField& f : kByteFields) {
            if (w[2] == f.name) {
                return "ok\n" + std::to_string(c->*f.member);
            }
        }
        for (const WordField& f : kWordFields) {
            if (w[2] == f.name) {
                return "ok\n" + std::to_string(c->*f.member);
            }
        }
        for (const BytesField& f : kBytesFields) {
            if (w[2] == f.name) {
                return "ok\n" + hex(c->*f.member);
            }
        }
        if (w[2] == "hw") {
            return "ok\n" + hex(c->hw_reply, sizeof c->hw_reply);
        }
        if (w[2] == "slave-status") {
            return "ok\n" + hex(c->slave_status, sizeof c->slave_status);
        }
        if (w[2] == "debug") {
            std::string out = "ok";
            for (const auto& reg : c->debug_registers) {
                out += "\n" + hex(&reg.first, 1) + "=" + hex(&reg.second, 1);
            }
            return out;
        }
        return error("unknown field: " + w[2]);
    }

    static std::string spiflash(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        return c == nullptr ? answer : spi_flash_command(*c, Words(w.begin() + 2, w.end()));
    }

    static std::string spiflash_file(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        return c == nullptr ? answer : spi_flash_file(*c, w[0] == "spiflash-load", w[2], w.size() > 3 ? w[3] : "");
    }

    static std::string i2c_memory(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        return c == nullptr ? answer : i2c_memory_command(*c, Words(w.begin() + 2, w.end()));
    }

    static std::string record(SimHost& host, const Words& w) {
        std::string answer;
        Converter* c = device(host, w[1], answer);
        if (c == nullptr || (w[2] != "on" && w[2] != "off")) {
            return c == nullptr ? answer : error("record N on|off");
        }
        c->set_recording(w[2] == "on");
        return "ok";
    }

    static std::string access(SimHost& host, const Words& w) {
        unsigned long n = 0;
        if (!parse_number(w[1], 9, n) || n == 0 || (w[2] != "denied" && w[2] != "granted")) {
            return error("usage: access N denied|granted");
        }
        host.deny(static_cast<int>(n), w[2] == "denied");
        return "ok";
    }

    static std::string shutdown(SimHost& host, const Words&) {
        host.shutdown_ = true;
        host.note("shutdown");
        return "ok";
    }
};

const Commands::Entry Commands::kTable[] = {
    {"help", "", 0, &Commands::help},
    {"version", "", 0, &Commands::version},
    {"attach", "N [vendor=S] [product=S] [revision=S] [version=M.mm] [serial=S] [port=B-P] [update-serial=1|0]", 1,
     &Commands::attach},
    {"detach", "N", 1, &Commands::detach},
    {"unplug", "N", 1, &Commands::plug},
    {"replug", "N", 1, &Commands::plug},
    {"fail", "N CODE sense KEY ASC ASCQ [TIMES] [carried] | N CODE oserror ERROR [TIMES] [carried]", 4,
     &Commands::fail},
    {"clear-failures", "N", 1, &Commands::clear_failures},
    {"loader-fault", "N EXCHANGE none|noreply|wrongecho|short|ignore", 3, &Commands::loader_fault},
    {"loader-clear", "N", 1, &Commands::loader_clear},
    {"state", "", 0, &Commands::state},
    {"mode", "N  (normal, update, unplugged or detached)", 1, &Commands::mode},
    {"transcript", "N [clear]", 1, &Commands::transcript},
    {"clear-transcript", "N", 1, &Commands::clear_transcript},
    {"loader-transcript", "N", 1, &Commands::loader_transcript},
    {"protocol-errors", "N", 1, &Commands::protocol_errors},
    {"bridge-errors", "[clear]", 0, &Commands::bridge_errors},
    {"events", "[clear]  (times in seconds since 1970, microseconds)", 0, &Commands::events},
    {"flash", "N", 1, &Commands::flash},
    {"save-flash", "N PATH", 2, &Commands::save_flash},
    {"set",
     "N FIELD VALUE  (outputs power led mode-byte pullup spi-setting mode-parameter i2c-khz spi-step: number;"
     " eeprom i2c-response spi-response i2c-waiting spi-waiting i2c-written spi-written i2c-master-reply"
     " spi-master-reply i2c-present hw slave-status: hex)",
     3, &Commands::set},
    {"get", "N FIELD  (the fields of set, and debug)", 2, &Commands::get},
    {"spiflash", kSpiFlashUsage, 1, &Commands::spiflash},
    {"spiflash-load", "N PATH [OFFSET]  (the file's bytes into the chip)", 2, &Commands::spiflash_file},
    {"spiflash-save", "N PATH  (the whole chip into the file)", 2, &Commands::spiflash_file},
    {"i2c-memory", "N ADDR [off | HEX]  (a 256-byte memory at the address; answers its bytes)", 2,
     &Commands::i2c_memory},
    {"record", "N on|off  (the transcript; off for long transfers)", 2, &Commands::record},
    {"access", "N denied|granted  (Wine: LPTn opens with access denied)", 2, &Commands::access},
    {"shutdown", "", 0, &Commands::shutdown},
    {nullptr, nullptr, 0, nullptr},
};

std::string SimHost::command(const std::string& line) {
    const Words words = split_words(line);
    if (words.empty()) {
        return error("empty command (try help)");
    }
    for (const Commands::Entry* e = Commands::kTable; e->name != nullptr; ++e) {
        if (words[0] == e->name) {
            if (words.size() < e->min_args + 1) {
                return error(std::string("usage: ") + e->name + " " + e->usage);
            }
            return e->run(*this, words);
        }
    }
    return error("unknown command: " + words[0] + " (try help)");
}

}  // namespace sim
