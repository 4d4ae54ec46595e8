// Writing results, events and failures.
#include "console_output.h"

namespace {

// fields' members after the first one(s) already written.
std::string Merge(const std::string& head, const JsonObject& fields) {
    const std::string rest = fields.Text();
    return rest == "{}" ? head + "}" : head + "," + rest.substr(1);
}

}  // namespace

void ConsoleOutput::Event(const char* event, const JsonObject& fields) {
    if (!m_json || m_out == nullptr) {
        return;
    }
    const std::string line = Merge("{\"event\":" + JsonString(event), fields);
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);  // a reader of the pipe sees each event when it happens
}

void ConsoleOutput::Note(const std::string& line) {
    if (!m_json && m_err != nullptr) {
        std::fprintf(m_err, "%s\n", line.c_str());
        std::fflush(m_err);
    }
}

void ConsoleOutput::Print(const std::string& line) {
    if (!m_json && m_out != nullptr) {
        std::fprintf(m_out, "%s\n", line.c_str());
        std::fflush(m_out);
    }
}

int ConsoleOutput::Finish(int code, const JsonObject& fields, const std::string& failure) {
    if (m_json && m_out != nullptr) {
        JsonObject head;
        head.Add("exit_code", code);
        if (!failure.empty()) {
            head.Add("error", failure);
        }
        const std::string text = Merge(head.Text().substr(0, head.Text().size() - 1), fields);
        std::fprintf(m_out, "{\"event\":\"result\",%s\n", text.substr(1).c_str());
        std::fflush(m_out);
    } else if (!m_json && m_err != nullptr && !failure.empty()) {
        std::fprintf(m_err, "brg40: %s\n", failure.c_str());
        std::fflush(m_err);
    }
    return code;
}
