// One JSON object per line: the events and results of brg40 --json.
#ifndef BRG40_CLI_JSON_WRITER_H
#define BRG40_CLI_JSON_WRITER_H

#include <string>
#include <utility>
#include <vector>

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
    // The fields of other whose keys this object does not have yet, after its own.
    JsonObject& AddMissing(const JsonObject& other);
    bool Has(const std::string& key) const;
    // The object and a newline.
    std::string Line() const { return "{" + m_body + "}\n"; }
    std::string Text() const { return "{" + m_body + "}"; }

private:
    JsonObject& Field(const char* key, const std::string& json);
    std::string m_body;
    std::vector<std::pair<std::string, std::string>> m_fields;  // each key and its JSON value
};

#endif
