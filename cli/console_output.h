// Where brg40's output goes: results on stdout (text, or one JSON object per line with --json),
// progress, messages and failures on stderr in text mode.
#ifndef BRG40_CLI_CONSOLE_OUTPUT_H
#define BRG40_CLI_CONSOLE_OUTPUT_H

#include <cstdio>
#include <functional>
#include <string>

#include "json_writer.h"

class ConsoleOutput {
public:
    // out, err: null for an output that says nothing (a step whose failure is not the result).
    ConsoleOutput(bool json, std::FILE* out, std::FILE* err) : m_json(json), m_out(out), m_err(err) {}

    bool Json() const { return m_json; }
    std::FILE* Err() const { return m_err; }

    // --json: an event line ("event" comes first). Text mode: nothing.
    void Event(const char* event, const JsonObject& fields);
    // Text mode: a line on stderr. --json: nothing.
    void Note(const std::string& line);
    // Text mode: a line on stdout (a command's result). --json: nothing.
    void Print(const std::string& line);

    // Ends a command: --json writes the result event with "exit_code" and fields; text mode
    // prints failure on stderr ("brg40: " in front) when it is not empty. Returns code.
    int Finish(int code, const JsonObject& fields, const std::string& failure = "");

    // The output of one unit among several that run at once: its events carry identity's fields
    // (those the event does not have), its text lines start with label, and with lines set they
    // go there instead of to the streams (a terminal's live view). Its Finish ends the unit, not
    // the command: a "unit_result" event, or the failure after its label, kept in Result. Each
    // line is written by one call, so units on several threads never mix within a line.
    ConsoleOutput ForUnit(const JsonObject& identity,
                          const std::string& label,
                          std::function<void(const std::string&)> lines = nullptr) const;
    // A unit's result as its Finish wrote it: "exit_code", "error" when it failed, its identity
    // and fields. "{}" before Finish.
    const JsonObject& Result() const { return m_result; }

private:
    void Line(std::FILE* stream, const std::string& line);

    bool m_json;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_unit = false;
    JsonObject m_identity;
    std::string m_label;
    std::function<void(const std::string&)> m_lines;
    JsonObject m_result;
};

#endif
