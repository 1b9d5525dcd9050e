#include "updater/update_signature.h"

#include "shared/diagnostic_log.h"
#include "shared/http.h"
#include "shared/signature.h"
#include "updater/transfer_limits.h"
#include "updater/update_connection.h"

#include <algorithm>

namespace {

constexpr char kMessageHeader[] = "KESTROVA-UPDATE-1\n";

}  // namespace

std::string SignedUpdateMessage(const std::string& version, const std::string& listBody) {
    return kMessageHeader + version + "\n" + listBody;
}

bool EveryEntryHasSha256(const std::vector<UpdateEntry>& entries) {
    return std::all_of(entries.begin(), entries.end(),
                       [](const UpdateEntry& entry) { return IsLowerHexSha256(entry.sha256); });
}

bool IsTrustedUpdateList(const UpdaterValues& values, const std::string& listBody,
                         const std::vector<UpdateEntry>& entries, std::string* signature) {
    // A line end inside the version would let the version and the list trade bytes under one signature.
    if (values.ServerVersion.find_first_of("\r\n") != std::string::npos) {
        LogLine("update abandoned: the version text holds a line end");
        return false;
    }
    const HttpReply reply = HttpGetString(values.SignatureUrl, UpdaterReplyLimits(UpdaterLimits().signatureReply), {},
                                          &UpdateConnection());
    if (!reply.Succeeded()) {
        LogLine("update abandoned: the list's signature did not arrive (%s)",
                DescribeTransfer(reply.result, reply.status).c_str());
        return false;
    }
    if (!IsSignedByOneOf(values.UpdateKeys, SignedUpdateMessage(values.ServerVersion, listBody), reply.body)) {
        LogLine("update abandoned: the list's signature is not the maker's");
        return false;
    }
    if (!EveryEntryHasSha256(entries)) {
        LogLine("update abandoned: an entry of the signed list names no SHA-256");
        return false;
    }
    // The maker's tool writes only integers; anything else means the list is not what it
    // meant to sign, and a length it cannot read would give no cap.
    if (const auto malformed = std::find_if(entries.begin(), entries.end(),
                                            [](const UpdateEntry& entry) { return entry.lengthMalformed; });
        malformed != entries.end()) {
        LogLine("update abandoned: the signed list's \"bytes\" of \"%s\" is no non-negative integer",
                malformed->name.c_str());
        return false;
    }
    const size_t first = reply.body.find_first_not_of(" \t\r\n");
    const size_t last = reply.body.find_last_not_of(" \t\r\n");
    *signature = reply.body.substr(first, last - first + 1);
    LogLine("the list's signature is the maker's");
    return true;
}
