#pragma once
// A compressed file or a patch as it arrives: the frame is counted and hashed against the
// list, and decoded at once into the file receiver, which writes and hashes the file as
// it does for a file fetched whole. Nothing of the frame is kept.

#include "shared/sha256.h"
#include "shared/zstd_frame.h"
#include "updater/file_receiver.h"
#include "updater/update_list.h"

#include <string_view>

class FrameReceiver {
public:
    // fileBytes: the decoded file's listed length. base: a patch's base, else empty; it and
    // the frame must outlive the receiver.
    FrameReceiver(const FrameSource& frame, uint64_t fileBytes, std::string_view base, FileReceiver& file);

    // libcurl's write callback; userdata is the FrameReceiver.
    static size_t WriteCallback(char* data, size_t size, size_t count, void* userdata);

    // After the transfer: null when the frame arrived with its listed length and SHA-256
    // and decoded to its end; otherwise why not.
    const char* Finish();

private:
    bool Receive(const char* data, size_t size);

    const FrameSource& m_frame;
    uint64_t m_received = 0;
    Sha256Hasher m_sha256;
    ZstdFrameDecoder m_decoder;
    ZstdSink m_sink;
    const char* m_pFailure = nullptr;
};
