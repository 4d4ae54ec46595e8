// How a firmware version is written: major and minor in hex, "%X.%02X" ("1.04" for 0x0104, "FF.FF"
// for an unknown version). The dialog, brg40 and the simulator all write it this way.
#ifndef BRG40_VERSION_TEXT_H
#define BRG40_VERSION_TEXT_H

#include <cstdio>
#include <string>

// version: major in the high byte, minor in the low byte.
inline std::string VersionText(unsigned version) {
    char text[8];
    std::snprintf(text, sizeof text, "%X.%02X", (version >> 8) & 0xFF, version & 0xFF);
    return text;
}

#endif
