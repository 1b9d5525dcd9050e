#pragma once
// The update list: the server's JSON array of {"id", "name", "url"} (and "sha256" where the
// list is signed), one entry per file.

#include "shared/http.h"

#include <string>
#include <vector>

// One file of the update. During its download it is also the transfer context whose
// file the shared write callback fills.
struct UpdateEntry : TransferContext {
    std::string id;    // MD5 digest of the file, in either letter case
    std::string name;  // file name inside the installation directory
    std::string url;
    std::string sha256;  // SHA-256 of the file in lowercase hexadecimal; signed lists carry it
};

// Parses an update list held in the ANSI code page. Any root but an array gives no
// entries; an element that is not an object, and a member that is missing or not a
// string, give empty fields, so such an entry fails when it is fetched.
std::vector<UpdateEntry> ParseUpdateList(const std::string& ansiText);
// The list as the server sent it (UTF-8), its names in the ANSI code page as every other
// name of the installation: the one reading of a received or a kept list.
std::vector<UpdateEntry> ParseReceivedUpdateList(const std::string& utf8Body);

// Fetches and parses the list. receivedBody, when given, gets the reply's bytes as they
// arrived, which is what a signature covers.
std::vector<UpdateEntry> FetchUpdateList(const std::string& url, std::string* receivedBody = nullptr);
