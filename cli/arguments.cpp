// Parsing brg40's command line.
#include "arguments.h"

#include <cerrno>
#include <cstdlib>

#include "unit_selector.h"

namespace {

enum class Kind { Flag, Value };

struct Option {
    const char* name;
    const char* alias;
    Kind kind;
};

const Option kOptions[] = {
    {"--json", nullptr, Kind::Flag},     {"--trace", nullptr, Kind::Flag},
    {"--yes", "-y", Kind::Flag},         {"--allow-model-change", nullptr, Kind::Flag},
    {"--help", "-h", Kind::Flag},        {"--device", "-d", Kind::Value},
    {"--wait", nullptr, Kind::Value},    {"--output", "-o", Kind::Value},
    {"--input", "-i", Kind::Value},      {"--reg", nullptr, Kind::Value},
    {"--setting", nullptr, Kind::Value}, {"--mode", nullptr, Kind::Value},
    {"--param", nullptr, Kind::Value},   {"--all", nullptr, Kind::Flag},
    {"--watch", nullptr, Kind::Flag},    {"--force", nullptr, Kind::Flag},
    {"--jobs", "-j", Kind::Value},       {"--unprotect", nullptr, Kind::Flag},
    {"--offset", nullptr, Kind::Value},  {"--length", nullptr, Kind::Value},
    {"--size", nullptr, Kind::Value},
};

const Option* FindOption(const std::string& word) {
    for (const Option& option : kOptions) {
        if (word == option.name || (option.alias && word == option.alias)) {
            return &option;
        }
    }
    return nullptr;
}

bool Apply(const std::string& name, const std::string& value, Arguments& out, std::string& error) {
    if (name == "--json") {
        out.json = true;
    } else if (name == "--trace") {
        out.trace = true;
    } else if (name == "--yes") {
        out.yes = true;
    } else if (name == "--allow-model-change") {
        out.allowModelChange = true;
    } else if (name == "--help") {
        out.help = true;
    } else if (name == "--all") {
        out.all = true;
    } else if (name == "--watch") {
        out.watch = true;
    } else if (name == "--force") {
        out.force = true;
    } else if (name == "--jobs") {
        unsigned long jobs = 0;
        if (!ParseNumber(value, 64, jobs) || jobs == 0) {
            error = "--jobs takes a number of units from 1 to 64";
            return false;
        }
        out.jobs = static_cast<unsigned>(jobs);
    } else if (name == "--device") {
        brg40::UnitSelector selector;
        if (!brg40::parse_unit_selector(value, selector)) {
            error = "-d takes a number from 1 to 9, serial:S, path:P or a device node: " + value;
            return false;
        }
        out.devices.push_back(value);
    } else if (name == "--wait") {
        char* end = nullptr;
        errno = 0;
        const double seconds = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || errno != 0 || !(seconds >= 0.0 && seconds <= 3600.0)) {
            error = "--wait takes seconds from 0 to 3600";
            return false;
        }
        out.waitSeconds = seconds;
    } else if (name == "--output") {
        out.outFile = value;
    } else if (name == "--input") {
        out.inFile = value;
    } else if (name == "--reg") {
        out.reg = value;
    } else if (name == "--setting") {
        out.setting = value;
    } else if (name == "--mode") {
        out.mode = value;
    } else if (name == "--offset") {
        out.offset = value;
    } else if (name == "--length") {
        out.length = value;
    } else if (name == "--size") {
        out.size = value;
    } else if (name == "--unprotect") {
        out.unprotect = true;
    } else {
        out.param = value;
    }
    return true;
}

}  // namespace

bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') {
        return false;
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text.c_str(), &end, hex ? 16 : 10);
    if (*end != '\0' || errno != 0 || parsed > max) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseArguments(int argc, const char* const* argv, Arguments& out, std::string& error) {
    out = Arguments{};
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9')) {
            out.words.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool inlineValue = false;
        const size_t equals = word.find('=');
        if (word.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = word.substr(equals + 1);
            word.resize(equals);
            inlineValue = true;
        }
        const Option* option = FindOption(word);
        if (option == nullptr) {
            error = "unknown option " + word;
            return false;
        }
        if (option->kind == Kind::Value && !inlineValue) {
            if (i + 1 >= argc) {
                error = word + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (option->kind == Kind::Flag && inlineValue) {
            error = word + " takes no value";
            return false;
        }
        if (!Apply(option->name, value, out, error)) {
            return false;
        }
    }
    return true;
}
