#pragma once
// Reading catalogue members from the server's JSON. A member that is missing or of
// another type reads as empty text or 0, so a sloppy reply never stops a list.

#include <rapidjson/document.h>

#include <cstddef>
#include <string>

// The member's UTF-8 text converted to the ANSI code page.
std::string JsonText(const rapidjson::Value& object, const char* key);
// The member as an integer: an integral JSON number, else 0.
int JsonInteger(const rapidjson::Value& object, const char* key);
// The member as a float: any JSON number, else 0.
float JsonNumber(const rapidjson::Value& object, const char* key);

// The "data" array of a catalogue reply, or null when the reply has none.
const rapidjson::Value* CatalogueEntries(const rapidjson::Document& reply);

// A record's text member and the key it is read from: the catalogue records are filled from
// tables, so a key and its member stand side by side once.
template <typename Record>
struct JsonTextField {
    const char* key;
    std::string Record::*member;
};

template <typename Record, std::size_t Count>
void ReadJsonTexts(const rapidjson::Value& object, const JsonTextField<Record> (&fields)[Count], Record& record) {
    for (const JsonTextField<Record>& field : fields) record.*field.member = JsonText(object, field.key);
}
