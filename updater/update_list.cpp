#include "updater/update_list.h"

#include "shared/files.h"
#include "shared/text.h"

#include <rapidjson/document.h>

namespace {

std::string StringMember(const rapidjson::Value& object, const char* name) {
    if (!object.IsObject()) return "";
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd() || !member->value.IsString()) return "";
    return std::string(member->value.GetString(), member->value.GetStringLength());
}

}  // namespace

std::vector<UpdateEntry> ParseUpdateList(const std::string& ansiText) {
    std::vector<UpdateEntry> entries;
    rapidjson::Document document;
    document.Parse(ansiText.c_str());
    if (document.HasParseError() || !document.IsArray()) return entries;
    for (const auto& element : document.GetArray()) {
        UpdateEntry entry;
        entry.id = StringMember(element, "id");
        entry.name = StringMember(element, "name");
        entry.url = StringMember(element, "url");
        entry.sha256 = StringMember(element, "sha256");
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<UpdateEntry> FetchUpdateList(const std::string& url, const std::string& tempDirectory,
                                         std::string* receivedBody) {
    const std::string body = HttpGetString(url);
    if (receivedBody != nullptr) *receivedBody = body;
    const std::string text = WideToAnsi(Utf8ToWide(body));
    // Leftovers of an abandoned run must not mix with this run's files.
    RemoveTree(tempDirectory.c_str());
    return ParseUpdateList(text);
}
