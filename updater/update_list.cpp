#include "updater/update_list.h"

#include "shared/diagnostic_log.h"
#include "shared/text.h"
#include "updater/transfer_limits.h"

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
    // Iteratively: no nesting depth in a reply can exhaust the stack.
    document.Parse<rapidjson::kParseIterativeFlag>(ansiText.c_str());
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

std::vector<UpdateEntry> ParseReceivedUpdateList(const std::string& utf8Body) {
    return ParseUpdateList(WideToAnsi(Utf8ToWide(utf8Body)));
}

std::vector<UpdateEntry> FetchUpdateList(const std::string& url, std::string* receivedBody) {
    const HttpReply reply = HttpFetch(url, UpdaterReplyLimits(UpdaterLimits().listReply));
    // An error page is no list: it gives no entries, like a list that did not arrive.
    const std::string body = reply.Succeeded() ? reply.body : std::string();
    if (receivedBody != nullptr) *receivedBody = body;
    std::vector<UpdateEntry> entries = ParseReceivedUpdateList(body);
    LogLine("update list: %s, %zu bytes, %zu entries", DescribeTransfer(reply.result, reply.status).c_str(),
            reply.body.size(), entries.size());
    return entries;
}
