#pragma once
// Reading catalogue members from the server's JSON. A member that is missing or of
// another type reads as empty text or 0, so a sloppy reply never stops a list.

#include <rapidjson/document.h>

#include <string>

// The member's UTF-8 text converted to the ANSI code page.
std::string JsonText(const rapidjson::Value& object, const char* key);
// The member as an integer: an integral JSON number, else 0.
int JsonInteger(const rapidjson::Value& object, const char* key);
// The member as a float: any JSON number, else 0.
float JsonNumber(const rapidjson::Value& object, const char* key);

// The "data" array of a catalogue reply, or null when the reply has none.
const rapidjson::Value* CatalogueEntries(const rapidjson::Document& reply);
