#pragma once
// Downloads the update's files one after another over one easy handle, so that libcurl
// keeps the connection open from one file to the next; each file is written and hashed as
// it arrives and checked against the list.

#include "shared/file_identity.h"
#include "shared/http.h"
#include "updater/file_receiver.h"
#include "updater/update_list.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class FileDownloader {
public:
    // signedList: each file must also match its signed "sha256".
    explicit FileDownloader(bool signedList);

    // True when the file arrived into path whole and has the listed digests; the reason
    // is logged otherwise.
    bool Download(const UpdateEntry& listed, const std::string& path);
    // The same file from one zstd frame that the list offers instead, "form" in the log
    // (a patch when base, the installed copy, is not empty): decoded into path as it
    // arrives and checked as a download is. False, with the reason logged, when the frame
    // or what it decodes to is not what the list names; path may then hold anything.
    bool DownloadFrame(const UpdateEntry& listed, const FrameSource& frame, std::string_view base,
                       const std::string& path, const char* form);
    // Waits until every file downloaded so far is on the disk; false when one is not.
    bool Flushed() { return m_flusher.Wait(); }
    // After Flushed: each verified file by name, with its identity on the disk and the
    // digests of the bytes that arrived.
    FileRecords Arrived() const;

private:
    // One transfer of listed's file (or a form of it) from url through write into the receiver.
    struct Transfer {
        CURLcode result = CURLE_OK;
        long status = 0;
        long connections = 0;
        std::optional<ReceivedDigests> digests;
        bool tooSlow = false;
    };
    Transfer Perform(const UpdateEntry& listed, const std::string& url, curl_write_callback write, void* writeData);
    bool FrameFailed(const UpdateEntry& listed, const char* form, const char* why);

    struct Arrival {
        std::string name;
        ReceivedDigests digests;
    };

    UniqueEasyHandle m_easy;
    bool m_signedList;
    std::vector<Arrival> m_arrivals;
    DiskFlusher m_flusher;  // declared before the receiver, which hands it files
    FileReceiver m_receiver;
};

// Logs why the entry's file failed; false.
bool EntryFailed(const UpdateEntry& entry, const char* why);
