// Which converter a selector names: "N" (its number), "serial:S", "path:P", or a device node.
// Portable and free of I/O: the library matches its converters with it, and brg40 matches the
// units of both modes with the same rules.
#ifndef BRG40_UNIT_SELECTOR_H
#define BRG40_UNIT_SELECTOR_H

#include <cstddef>
#include <string>

namespace brg40 {

struct UnitSelector {
    enum Kind { Number, Serial, Path, Node } kind = Number;
    int number = 0;     // Number: 1 to 9
    std::string value;  // Serial, Path, Node: the text after the prefix, or the node itself
};

// Parses text. Numbers are 1 to 9; "serial:" and "path:" need a value; a node is a text that
// starts with '/' (Linux) or names LPT1 to LPT9 (Windows, any case). False for anything else.
bool parse_unit_selector(const std::string& text, UnitSelector& out);

// One unit as the selector sees it (number 0: a unit without a number, in update mode).
struct UnitName {
    int number = 0;
    std::string node;
    std::string serial;
    std::string path;
};

// Whether selector names unit: the number; the serial or the path compared without regard to
// case (Windows writes the serial of an instance in capitals, and its paths in any case); a Linux
// node as it is (resolve links first), a Windows device name in any case.
bool selector_names(const UnitSelector& selector, const UnitName& unit);

}  // namespace brg40

#endif
