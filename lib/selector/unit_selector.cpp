// Parsing a selector and matching it against a unit.
#include "unit_selector.h"

#include <cctype>

namespace brg40 {

namespace {

bool equal_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool starts_with(const std::string& text, const char* prefix, std::string& rest) {
    const std::string p(prefix);
    if (text.compare(0, p.size(), p) != 0) {
        return false;
    }
    rest = text.substr(p.size());
    return true;
}

}  // namespace

bool parse_unit_selector(const std::string& text, UnitSelector& out) {
    out = UnitSelector{};
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '9') {
        out.kind = UnitSelector::Number;
        out.number = text[0] - '0';
        return true;
    }
    if (starts_with(text, "serial:", out.value)) {
        out.kind = UnitSelector::Serial;
        return !out.value.empty();
    }
    if (starts_with(text, "path:", out.value)) {
        out.kind = UnitSelector::Path;
        return !out.value.empty();
    }
    const bool lpt =
        text.size() == 4 && equal_ignoring_case(text.substr(0, 3), "LPT") && text[3] >= '1' && text[3] <= '9';
    if ((!text.empty() && text[0] == '/') || lpt) {
        out.kind = UnitSelector::Node;
        out.value = text;
        return true;
    }
    return false;
}

bool selector_names(const UnitSelector& selector, const UnitName& unit) {
    switch (selector.kind) {
        case UnitSelector::Number:
            return unit.number != 0 && unit.number == selector.number;
        case UnitSelector::Serial:
            return !unit.serial.empty() && equal_ignoring_case(unit.serial, selector.value);
        case UnitSelector::Path:
            return !unit.path.empty() && equal_ignoring_case(unit.path, selector.value);
        case UnitSelector::Node:  // a Linux node as it is, a Windows device name in any case
            return !unit.node.empty() && (selector.value[0] == '/' ? unit.node == selector.value
                                                                   : equal_ignoring_case(unit.node, selector.value));
    }
    return false;
}

}  // namespace brg40
