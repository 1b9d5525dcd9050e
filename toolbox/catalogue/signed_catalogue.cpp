#include "toolbox/catalogue/signed_catalogue.h"

#include "shared/diagnostic_log.h"
#include "shared/file_names.h"
#include "shared/sha256.h"
#include "shared/signature.h"

namespace {

constexpr char kMessageHeader[] = "KESTROVA-CATALOGUE-1\n";

const rapidjson::Value* Member(const rapidjson::Value& object, const char* key) {
    if (!object.IsObject()) return nullptr;
    const auto found = object.FindMember(key);
    return found == object.MemberEnd() ? nullptr : &found->value;
}

}  // namespace

std::string SignedCatalogueMessage(const std::string& what, const std::string& body) {
    return kMessageHeader + what + "\n" + body;
}

std::string SoftwareCatalogueWhat() { return "F"; }

std::string DocumentFolderWhat(const std::string& folderId) { return "D " + folderId; }

bool IsFolderId(const std::string& id) {
    return !id.empty() && id.size() <= 64 &&
           id.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_-") ==
               std::string::npos;
}

std::string CatalogueSignatureUrl(const std::string& serverBaseUrl, const char* route, const std::string& body) {
    const std::string digest = Sha256Of(body).value_or("");
    return serverBaseUrl + route + "?sha256=" + LowerHex(digest);
}

SignedReply CheckSignedReply(const CatalogueContext& context, const char* label, const char* signatureRoute,
                             const std::string& what, const HttpReply& reply, const TransferStopCheck& stop) {
    if (!reply.Succeeded() || reply.body.empty()) return SignedReply::NoCatalogue;  // logged with the request
    if (!reply.contentEncoding.empty()) {
        // libcurl decodes nothing, so these are not the bytes the maker signed and published.
        LogLine("%s is no catalogue: it came with the Content-Encoding \"%s\"", label, reply.contentEncoding.c_str());
        return SignedReply::NoCatalogue;
    }
    const std::string url = CatalogueSignatureUrl(context.serverBaseUrl, signatureRoute, reply.body);
    const HttpReply signature =
        HttpGetString(url, ReplyLimits{kSignatureReplyTotalSeconds, kSignatureReplyMaxBytes}, stop);
    if (!signature.Succeeded()) {
        LogLine("%s refused: its signature %s did not arrive (%s)", label, url.c_str(),
                DescribeTransfer(signature.result, signature.status).c_str());
        return SignedReply::Refused;
    }
    if (!IsSignedByOneOf(context.keys, SignedCatalogueMessage(what, reply.body), signature.body)) {
        LogLine("%s refused: the signature %s is not the maker's for \"%s\" and these %lu bytes", label, url.c_str(),
                what.c_str(), static_cast<unsigned long>(reply.body.size()));
        return SignedReply::Refused;
    }
    LogLine("%s: the signature is the maker's", label);
    return SignedReply::Verified;
}

std::string JsonSha256(const rapidjson::Value& object, const char* key) {
    const rapidjson::Value* value = Member(object, key);
    if (value == nullptr || !value->IsString()) return std::string();
    std::string text(value->GetString(), value->GetStringLength());
    return IsLowerHexSha256(text) ? text : std::string();
}

int64_t JsonLength(const rapidjson::Value& object, const char* key) {
    const rapidjson::Value* value = Member(object, key);
    // RapidJSON reads 5.0 and 5e0 as doubles: only an integer's digits give an integer.
    if (value == nullptr || !value->IsInt64()) return -1;
    const int64_t length = value->GetInt64();
    return length >= 0 ? length : -1;
}

bool IsSignedPackageName(const std::string& downName) {
    return downName.size() > 4 && downName.compare(downName.size() - 4, 4, ".exe") == 0;
}

bool IsSignedDocumentName(const std::string& name) { return !IsProgramFileName(name); }
