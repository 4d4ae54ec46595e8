// eeprom_backup (C++): saves the converter's EEPROM to a file, or writes a saved file back and
// reads it again to check it.
//   eeprom_backup_cpp dump FILE [LENGTH]   LENGTH bytes from the EEPROM's start (default 256)
//   eeprom_backup_cpp restore FILE         the whole file (at most 65535 bytes)
// Exit status: 0 on success, 1 on failure.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "brg40firmup.hpp"

int main(int argc, char** argv) {
    const std::string command = argc > 2 ? argv[1] : "";
    if (command != "dump" && command != "restore") {
        std::printf("usage: eeprom_backup_cpp dump FILE [LENGTH] | eeprom_backup_cpp restore FILE\n");
        return 1;
    }
    const std::string path = argv[2];
    try {
        brg40::Converter converter = brg40::Converter::open();
        if (command == "dump") {
            const unsigned long length = argc > 3 ? std::strtoul(argv[3], nullptr, 0) : 256;
            if (length == 0 || length > 65535) {
                std::printf("LENGTH: 1 to 65535\n");
                return 1;
            }
            const std::vector<uint8_t> bytes = converter.eeprom_read(static_cast<uint16_t>(length));
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!out.flush()) {
                std::printf("cannot write %s\n", path.c_str());
                return 1;
            }
            std::printf("Saved %u bytes to %s\n", static_cast<unsigned>(bytes.size()), path.c_str());
            return 0;
        }
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.empty() || bytes.size() > 65535) {
            std::printf("%s: 1 to 65535 bytes expected\n", path.c_str());
            return 1;
        }
        converter.eeprom_write(bytes);
        if (converter.eeprom_read(static_cast<uint16_t>(bytes.size())) != bytes) {
            std::printf("Read-back differs from %s\n", path.c_str());
            return 1;
        }
        std::printf("Restored %u bytes from %s; read back and verified\n", static_cast<unsigned>(bytes.size()),
                    path.c_str());
        return 0;
    } catch (const brg40::Error& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
}
