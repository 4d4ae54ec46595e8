// The file name of a device's preserved block.
#include "preserved_file_name.h"

std::string PreservedFileName(const std::string& deviceId) {
    std::string name = deviceId;
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#' ||
                           c == '&' || c == '_' || c == '-';
        if (!plain) {
            c = '_';
        }
    }
    return "preserved-" + name + ".bin";
}
