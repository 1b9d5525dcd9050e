#include "toolbox/catalogue/json_fields.h"

#include "shared/text.h"

namespace {

const rapidjson::Value* Member(const rapidjson::Value& object, const char* key) {
    if (!object.IsObject()) return nullptr;
    const auto found = object.FindMember(key);
    return found == object.MemberEnd() ? nullptr : &found->value;
}

}  // namespace

// Each text is converted on its own after parsing the UTF-8 reply: converting the whole
// body first would hand the parser code page 936 bytes, whose trail bytes may be '\\'
// and would then be read as escapes, and \u escapes would decode to UTF-8 bytes.
std::string JsonText(const rapidjson::Value& object, const char* key) {
    const rapidjson::Value* value = Member(object, key);
    if (value == nullptr || !value->IsString()) return std::string();
    return WideToAnsi(Utf8ToWide(std::string(value->GetString(), value->GetStringLength())));
}

int JsonInteger(const rapidjson::Value& object, const char* key) {
    const rapidjson::Value* value = Member(object, key);
    return value != nullptr && value->IsInt() ? value->GetInt() : 0;
}

float JsonNumber(const rapidjson::Value& object, const char* key) {
    const rapidjson::Value* value = Member(object, key);
    return value != nullptr && value->IsNumber() ? static_cast<float>(value->GetDouble()) : 0.0f;
}

const rapidjson::Value* CatalogueEntries(const rapidjson::Document& reply) {
    if (reply.HasParseError() || !reply.IsObject()) return nullptr;
    const rapidjson::Value* data = Member(reply, "data");
    return data != nullptr && data->IsArray() ? data : nullptr;
}
