#pragma once
// The files of one download: its final name, the partial file beside it that holds the
// bytes until they are complete, and for a package the validator kept beside the partial
// file, which lets the next download of the same URL continue it.

#include <string>

struct DownloadFiles {
    std::string finalPath;
    std::string partialPath;
    std::string validatorPath;
};
DownloadFiles FilesOf(const std::string& finalPath);

// A name from the server that a download may take: a plain Windows file name that is not
// one of the partial or validator names the downloads keep beside their files, nor the
// package folder's record of verified packages.
bool IsDownloadName(const std::string& name);

// An ETag that names exactly these bytes: a quoted tag, not a weak one (W/"...").
bool IsStrongTag(const std::string& etag);

// Where the partial file can be continued: its size and the tag it was fetched under. An
// offset of 0 when it cannot: no partial file, no validator, another URL, no strong tag.
struct ResumePoint {
    long long offset = 0;
    std::string tag;
};
ResumePoint FindResumePoint(const DownloadFiles& files, const std::string& url);

// Written before the first byte of a new partial file, so the two always belong together.
bool SaveValidator(const DownloadFiles& files, const std::string& url, const std::string& tag);
// Removes the partial file and its validator.
void DiscardPartial(const DownloadFiles& files);
