// Writing results, events and failures.
#include "console_output.h"

#include "console_write.h"

namespace {

// fields' members after the first one(s) already written.
std::string Merge(const std::string& head, const JsonObject& fields) {
    const std::string rest = fields.Text();
    return rest == "{}" ? head + "}" : head + "," + rest.substr(1);
}

}  // namespace

ConsoleOutput ConsoleOutput::ForUnit(const JsonObject& identity,
                                     const std::string& label,
                                     std::function<void(const std::string&)> lines) const {
    ConsoleOutput unit(m_json, m_out, m_err);
    unit.m_unit = true;
    unit.m_identity = identity;
    unit.m_label = label;
    unit.m_lines = std::move(lines);
    return unit;
}

void ConsoleOutput::Line(std::FILE* stream, const std::string& line) {
    const std::string text = m_unit && !m_json ? m_label + ": " + line : line;
    if (m_lines) {
        m_lines(text);
    } else if (stream != nullptr) {
        WriteText(stream, text + "\n");  // flushed: a reader of the pipe sees each line when it happens
    }
}

void ConsoleOutput::Event(const char* event, const JsonObject& fields) {
    if (!m_json || m_out == nullptr) {
        return;
    }
    JsonObject all = fields;
    all.AddMissing(m_identity);
    Line(m_out, Merge("{\"event\":" + JsonString(event), all));
}

void ConsoleOutput::Note(const std::string& line) {
    if (!m_json) {
        Line(m_err, line);
    }
}

void ConsoleOutput::Print(const std::string& line) {
    if (!m_json) {
        Line(m_out, line);
    }
}

int ConsoleOutput::Finish(int code, const JsonObject& fields, const std::string& failure) {
    if (m_unit) {
        m_result = JsonObject().Add("exit_code", code);
        if (!failure.empty()) {
            m_result.Add("error", failure);
        }
        m_result.AddMissing(m_identity).AddMissing(fields);
        Event("unit_result", m_result);
        if (!m_json && !failure.empty()) {
            Line(m_err, failure);
        }
        return code;
    }
    if (m_json && m_out != nullptr) {
        JsonObject head;
        head.Add("exit_code", code);
        if (!failure.empty()) {
            head.Add("error", failure);
        }
        const std::string text = Merge(head.Text().substr(0, head.Text().size() - 1), fields);
        WriteText(m_out, "{\"event\":\"result\"," + text.substr(1) + "\n");
    } else if (!m_json && m_err != nullptr && !failure.empty()) {
        WriteText(m_err, "brg40: " + failure + "\n");
    }
    return code;
}
