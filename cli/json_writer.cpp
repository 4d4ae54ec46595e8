// Writing JSON objects for the --json output.
#include "json_writer.h"

#include <cstdio>

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (c == '\n') {
            json += "\\n";
        } else if (c == '\r') {
            json += "\\r";
        } else if (c == '\t') {
            json += "\\t";
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            json += escaped;
        } else {
            json += c;  // UTF-8 passes as it is
        }
    }
    return json + "\"";
}

JsonObject& JsonObject::Field(const char* key, const std::string& json) {
    if (!m_body.empty()) {
        m_body += ',';
    }
    m_body += JsonString(key) + ':' + json;
    m_fields.emplace_back(key, json);
    return *this;
}

JsonObject& JsonObject::AddMissing(const JsonObject& other) {
    for (const auto& field : other.m_fields) {
        if (!Has(field.first)) {
            Field(field.first.c_str(), field.second);
        }
    }
    return *this;
}

bool JsonObject::Has(const std::string& key) const {
    for (const auto& field : m_fields) {
        if (field.first == key) {
            return true;
        }
    }
    return false;
}

JsonObject& JsonObject::Add(const char* key, const std::string& text) {
    return Field(key, JsonString(text));
}

JsonObject& JsonObject::Add(const char* key, int number) {
    return Field(key, std::to_string(number));
}

JsonObject& JsonObject::Add(const char* key, long number) {
    return Field(key, std::to_string(number));
}

JsonObject& JsonObject::Add(const char* key, double number) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", number);
    return Field(key, text);
}

JsonObject& JsonObject::AddBool(const char* key, bool value) {
    return Field(key, value ? "true" : "false");
}

JsonObject& JsonObject::AddNull(const char* key) {
    return Field(key, "null");
}

JsonObject& JsonObject::AddRaw(const char* key, const std::string& json) {
    return Field(key, json);
}
