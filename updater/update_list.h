#pragma once
// The update list: the server's JSON array of {"id", "name", "url"} (and "sha256" where the
// list is signed, "bytes" where the publisher names each file's length), one entry per file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A smaller form of an entry's file, one zstd frame, described by the frame's own length
// and SHA-256 (lowercase hexadecimal), which are checked as it arrives.
struct FrameSource {
    std::string url;
    uint64_t bytes = 0;
    std::string sha256;
};

// A frame that decodes to the file only with the file's earlier version, whose SHA-256 is
// "from", as its raw-content prefix.
struct PatchSource : FrameSource {
    std::string from;
};

// One file of the update.
struct UpdateEntry {
    std::string id;    // MD5 digest of the file, in either letter case
    std::string name;  // file name inside the installation directory
    std::string url;
    std::string sha256;  // SHA-256 of the file in lowercase hexadecimal; signed lists carry it
    // The file's exact length, when "bytes" is a non-negative integer; any other value of it
    // sets lengthMalformed instead, which a signed list may not have.
    std::optional<uint64_t> bytes;
    bool lengthMalformed = false;
    // "zst" and "patches", taken from signed lists only; a member of another form is left
    // out, so the file is fetched in the next form.
    std::optional<FrameSource> zst;
    std::vector<PatchSource> patches;
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
