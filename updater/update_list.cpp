#include "updater/update_list.h"

#include "shared/diagnostic_log.h"
#include "shared/text.h"
#include "updater/transfer_limits.h"
#include "updater/update_connection.h"

#include <rapidjson/document.h>

namespace {

std::string StringMember(const rapidjson::Value& object, const char* name) {
    if (!object.IsObject()) return "";
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd() || !member->value.IsString()) return "";
    return std::string(member->value.GetString(), member->value.GetStringLength());
}

// Only a JSON integer from 0 up is a length: a text, a fraction or a negative number is
// malformed, not absent.
void ReadLength(const rapidjson::Value& object, UpdateEntry* entry) {
    if (!object.IsObject()) return;
    const auto member = object.FindMember("bytes");
    if (member == object.MemberEnd()) return;
    if (member->value.IsUint64()) {
        entry->bytes = member->value.GetUint64();
    } else {
        entry->lengthMalformed = true;
    }
}

bool IsSha256Text(const std::string& text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool ReadFrame(const rapidjson::Value& object, FrameSource* frame) {
    if (!object.IsObject()) return false;
    const auto bytes = object.FindMember("bytes");
    if (bytes == object.MemberEnd() || !bytes->value.IsUint64()) return false;
    frame->bytes = bytes->value.GetUint64();
    frame->url = StringMember(object, "url");
    frame->sha256 = StringMember(object, "sha256");
    return !frame->url.empty() && IsSha256Text(frame->sha256);
}

void ReadSmallerForms(const rapidjson::Value& element, UpdateEntry* entry) {
    if (!element.IsObject()) return;
    if (const auto zst = element.FindMember("zst"); zst != element.MemberEnd()) {
        if (FrameSource frame; ReadFrame(zst->value, &frame)) entry->zst = std::move(frame);
    }
    const auto patches = element.FindMember("patches");
    if (patches == element.MemberEnd() || !patches->value.IsArray()) return;
    for (const auto& item : patches->value.GetArray()) {
        PatchSource patch;
        patch.from = StringMember(item, "from");
        if (ReadFrame(item, &patch) && IsSha256Text(patch.from)) entry->patches.push_back(std::move(patch));
    }
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
        ReadLength(element, &entry);
        ReadSmallerForms(element, &entry);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<UpdateEntry> ParseReceivedUpdateList(const std::string& utf8Body) {
    return ParseUpdateList(WideToAnsi(Utf8ToWide(utf8Body)));
}

std::vector<UpdateEntry> FetchUpdateList(const std::string& url, std::string* receivedBody) {
    const HttpReply reply = HttpGetString(url, UpdaterReplyLimits(UpdaterLimits().listReply), {}, &UpdateConnection());
    // An error page is no list: it gives no entries, like a list that did not arrive.
    const std::string body = reply.Succeeded() ? reply.body : std::string();
    if (receivedBody != nullptr) *receivedBody = body;
    std::vector<UpdateEntry> entries = ParseReceivedUpdateList(body);
    LogLine("update list: %s, %zu bytes, %zu entries", DescribeTransfer(reply.result, reply.status).c_str(),
            reply.body.size(), entries.size());
    return entries;
}
