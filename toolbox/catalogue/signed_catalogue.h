#pragma once
// Signed catalogues (docs/server-protocol.md, "Signed catalogues"). A toolbox built with
// the maker's keys offers nothing from a catalogue reply that one of them did not sign:
// after each reply it asks for the signature kept under the SHA-256 of the body as
// received, and verifies those exact bytes bound to what the reply is ("F" for the software
// catalogue, "D <folder id>" for a document folder). Every entry of a signed catalogue
// names its file's SHA-256 and exact length, which the downloads and the click check.

#include "shared/http.h"
#include "toolbox/catalogue/catalogue_context.h"

#include <rapidjson/document.h>

#include <cstdint>
#include <string>

// What the list shows in place of a catalogue whose signature is missing or not the maker's.
inline constexpr char kCatalogueRefusedText[] = "目录校验失败，请稍后重试";

// Where the signatures are: the route + "?sha256=" + the body's SHA-256.
inline constexpr char kSoftwareSignatureRoute[] = "/F.sig";
inline constexpr char kDocumentSignatureRoute[] = "/D.sig";
inline constexpr long kSignatureReplyTotalSeconds = 30;

// What is signed: "KESTROVA-CATALOGUE-1\n" + what + "\n" + the body.
std::string SignedCatalogueMessage(const std::string& what, const std::string& body);
std::string SoftwareCatalogueWhat();                             // "F"
std::string DocumentFolderWhat(const std::string& folderId);     // "D " + folderId

// A folder id a signed build requests: 1 to 64 of [0-9A-Za-z_-]. Anything else could let the
// id and the body trade bytes under one signature, and is never requested.
bool IsFolderId(const std::string& id);

// base + route + "?sha256=" + the body's SHA-256 in lowercase hexadecimal.
std::string CatalogueSignatureUrl(const std::string& serverBaseUrl, const char* route, const std::string& body);

// How a reply of a signed build fared.
enum class SignedReply {
    Verified,     // signed by one of the keys: its entries may be offered
    NoCatalogue,  // nothing usable arrived (no reply, an error status, an encoded body): as a failed load
    Refused,      // a body arrived but its signature is missing or not the maker's
};

// For a build with keys: the reply's signature is fetched and checked. Logs why a reply is
// no catalogue or refused; label names the list in the log.
SignedReply CheckSignedReply(const CatalogueContext& context, const char* label, const char* signatureRoute,
                             const std::string& what, const HttpReply& reply, const TransferStopCheck& stop);

// The member as a signed catalogue names a digest: 64 lowercase hexadecimal digits, else empty.
std::string JsonSha256(const rapidjson::Value& object, const char* key);
// The member as a length: a non-negative JSON integer, else -1 (a text or a fraction counts as missing).
int64_t JsonLength(const rapidjson::Value& object, const char* key);

// A package a signed catalogue may offer: its name ends in ".exe" (lower case), so that a
// click starts it directly with CreateProcess, never through a shell handler (which a user
// can register for any other type) and never as a script, shortcut or registry file.
bool IsSignedPackageName(const std::string& downName);
// A document a signed catalogue may offer: no program, script, shortcut or other type the
// shell would run rather than open (IsProgramFileName).
bool IsSignedDocumentName(const std::string& name);
