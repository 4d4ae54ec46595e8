// The texts of brg40's console view.
#include "console_texts.h"

#include <cstdio>

namespace {

std::string JoinLines(const char* text) {
    std::string line;
    for (const char* p = text; *p != '\0'; ++p) {
        line += *p == '\n' ? ' ' : *p;
    }
    return line;
}

}  // namespace

std::string MessageLine(const EnglishString& message) {
    return JoinLines(message.text);
}

std::string Headline(const EnglishString& message) {
    const std::string text = message.text;
    return text.substr(0, text.find('\n'));
}

std::string VersionQuestion(unsigned major, unsigned minor) {
    char text[160];
    std::snprintf(text, sizeof text, en::MSG_VERSION_NOT_NEWER.text, major, minor);
    return JoinLines(text);
}

std::string VersionPrompt(unsigned major, unsigned minor) {
    return VersionQuestion(major, minor) + " [y/N] ";
}

const char kLeftInUpdateMode[] = "The converter stays in update mode; run `brg40 fw update FILE` again to write it.";
const char kInterruptedDuringRun[] =
    "Interrupted after the last complete exchange. The converter stays in update mode; "
    "run `brg40 fw update FILE` again to finish.";
const char kInterruptedBeforeClose[] =
    "Interrupted before the close byte. The converter stays in update mode; "
    "run `brg40 fw finish` to check the flash and close the session.";

const char kHelpText[] =
    "usage: brg40 [--json] [--trace] [-d UNIT] COMMAND ...\n"
    "\n"
    "Converter (normal mode):\n"
    "  list                          every converter, in either mode: number, serial, path, state\n"
    "  info                          firmware version, hardware information, library version\n"
    "  i2c scan                      probe addresses 0x08 to 0x77, print those that answer\n"
    "  i2c dump ADDR                 registers 0 to 255 of target ADDR, as i2cdump prints them\n"
    "  i2c read ADDR LEN [--reg R]   read LEN bytes from target ADDR (register byte R, default 0)\n"
    "  i2c write ADDR BYTES [--reg R]\n"
    "  i2c speed 1000|400|100        bus speed in kHz\n"
    "  i2c pullup VALUE | i2c reset\n"
    "  spi speed KHZ [--setting S]   prints the step set\n"
    "  spi xfer BYTES [--setting S]  send BYTES, print the bytes received\n"
    "  eeprom read LEN [-o FILE]     eeprom write BYTES | eeprom write -i FILE\n"
    "  gpo read | gpo write VALUE | led VALUE | power VALUE\n"
    "  slave i2c|spi [--mode M] [--param P]   print what an outside master sends, until Ctrl+C\n"
    "\n"
    "SPI flash (25-series on the SPI master; one chip-select frame per transfer; --setting S as spi xfer):\n"
    "  spiflash id                   JEDEC ID, size, pages, erase types, status register\n"
    "  spiflash sfdp [-o FILE]       the SFDP tables (the raw area into FILE)\n"
    "  spiflash read FILE | verify FILE | write FILE | erase   [--offset A] [--length N]\n"
    "                                write and erase change only the sectors that differ and read them\n"
    "                                back; verify exits 5 where the chip differs from FILE\n"
    "  --unprotect                   clear the block-protect bits first (else a protected chip stops it)\n"
    "  --size N                      the size of a part without SFDP that brg40 does not know (K, M)\n"
    "\n"
    "Firmware:\n"
    "  fw check FILE [--allow-model-change]\n"
    "  fw update FILE [--yes] [--allow-model-change] [--wait SECONDS]\n"
    "  fw update FILE --all | -d UNIT -d UNIT ... [--jobs N] [--force]\n"
    "                                several units at once (each on its own; units at the image's\n"
    "                                version are skipped unless --force); exit: the first failed unit's\n"
    "  fw update FILE --watch [--force]\n"
    "                                each unit as it is plugged in, until Ctrl+C; exit 1 if any failed\n"
    "  fw verify                     read the flash back and check it (the session stays open)\n"
    "  fw finish                     the check, then the close byte when it matches\n"
    "\n"
    "  selftest [FILE]               list, info, EEPROM read, I2C scan, fw check of FILE and (Linux) the\n"
    "                                sg module, the node's access, holders and udev record; changes nothing\n"
    "\n"
    "BYTES: hex bytes (0x1f 20 ff) or @FILE. Numbers: decimal or 0x hex.\n"
    "Options: -d UNIT the converter: N, serial:S, path:P or a device node (default: $BRG40_DEVICE, or the\n"
    "only one present); --json one JSON object per line on stdout; --trace every command and reply on\n"
    "stderr; --yes answer Yes to the version question.\n"
    "\n"
    "Exit codes:\n"
    "  0    success\n"
    "  1    a device command or a transfer failed\n"
    "  2    usage error, or several converters and none chosen with -d\n"
    "  3    no converter found (or none that -d names)\n"
    "  4    image refused (file, size, checksum, model) or version question answered No\n"
    "  5    read-back mismatch (the converter stays in update mode; run brg40 fw update again)\n"
    "  6    no permission to open the converter or install the driver (Windows: run brg40 from a\n"
    "       console opened with Run as administrator)\n"
    "  130  interrupted\n"
    "  143  ended by SIGTERM (129: SIGHUP; Linux), after the exchange in progress\n";
