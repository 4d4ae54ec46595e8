// What a brg40 spiflash command holds while it runs (the request, the converter, the chip and its
// identity, the progress view) and the steps its verbs share: identification, the region, reads,
// and the report of a chip that stopped.
#ifndef BRG40_CLI_SPIFLASH_SESSION_H
#define BRG40_CLI_SPIFLASH_SESSION_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "command_context.h"
#include "progress_view.h"
#include "spiflash_chip.h"
#include "spiflash_sfdp.h"

struct Request {
    std::string verb, file;
    uint64_t offset = 0, length = 0, size = 0;
    bool lengthGiven = false;
    unsigned long setting = 0;
    std::vector<uint8_t> data;  // write, verify: the file's bytes (cut to --length)
};

// The flash as one command sees it.
struct Session {
    CommandContext& context;
    const Request& request;
    Converter converter;
    std::unique_ptr<SpiFlashChip> chip;
    ProgressView progress;
    uint8_t id[3] = {};
    std::string source;  // where the geometry came from
    SfdpInfo sfdp;
    std::vector<uint8_t> sfdpArea;
    std::string sfdpProblem;  // why an SFDP area that was found is not used
    double start;
    bool begun = false;  // the chip is in the address mode chosen: End() it

    Session(CommandContext& c, const Request& r);
    ~Session();
    const FlashGeometry& Geometry() const { return chip->Geometry(); }
    // The fields of every result: JEDEC ID, size, source, seconds, frames.
    JsonObject Fields() const;
    // The chip stopped: the result says where, in which operation, and why. Returns the exit code.
    int Failed(const char* phase);
};

// "0x012300".
std::string Address(uint64_t address);
// "0x1C".
std::string HexByte(unsigned value);
// "4 KiB", "16 MiB", or the bytes.
std::string SizeText(uint64_t bytes);
// "1 page", "3 pages".
std::string Count(uint64_t n, const char* what);

// JEDEC ID, then the geometry (SFDP, else the built-in table, else --size), then the chip into the
// address mode chosen. 0 when known, else the exit code with the result written.
int Identify(Session& s);

// The converter's SPI master as the chip's frames: one brg40_spi_transmit_master call each, traced.
SpiFrame ConverterFrame(CommandContext& context, Brg40Handle handle, unsigned char setting);
// The region of the command within the chip: --offset and --length (or the file's length, or the
// rest of the chip). 0 when it fits, else the exit code.
int CheckRegion(Session& s, uint64_t& offset, uint64_t& length);
// Reads the region into data under the progress of phase, then checks that the chip still
// answers. 0, else the exit code.
int ReadRegion(Session& s, uint64_t offset, uint64_t length, const char* phase, std::vector<uint8_t>& data);
// How many of the n bytes differ, and the first of them (n when none).
size_t Differences(const uint8_t* chip, const uint8_t* want, size_t n, size_t& first);

// write (data) and erase (null): the region made to hold data or 0xFF, erasing only the sectors
// that need it and programming only the pages that differ, then read back. The exit code.
int Rewrite(Session& s, const uint8_t* data);

#endif
