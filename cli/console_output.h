// Where brg40's output goes: results on stdout (text, or one JSON object per line with --json),
// progress, messages and failures on stderr in text mode.
#ifndef BRG40_CLI_CONSOLE_OUTPUT_H
#define BRG40_CLI_CONSOLE_OUTPUT_H

#include <cstdio>
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

private:
    bool m_json;
    std::FILE* m_out;
    std::FILE* m_err;
};

#endif
