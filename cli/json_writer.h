// One JSON object per line: the events and results of brg40 --json.
#ifndef BRG40_CLI_JSON_WRITER_H
#define BRG40_CLI_JSON_WRITER_H

#include <string>

// text as a JSON string, quotes included.
std::string JsonString(const std::string& text);

class JsonObject {
public:
    JsonObject& Add(const char* key, const std::string& text);
    JsonObject& Add(const char* key, const char* text) { return Add(key, std::string(text)); }
    JsonObject& Add(const char* key, int number);
    JsonObject& Add(const char* key, long number);
    JsonObject& Add(const char* key, double number);  // three decimals
    JsonObject& AddBool(const char* key, bool value);
    JsonObject& AddNull(const char* key);
    JsonObject& AddRaw(const char* key, const std::string& json);  // an array or object already written
    // The object and a newline.
    std::string Line() const { return "{" + m_body + "}\n"; }
    std::string Text() const { return "{" + m_body + "}"; }

private:
    JsonObject& Field(const char* key, const std::string& json);
    std::string m_body;
};

#endif
