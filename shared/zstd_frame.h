#pragma once
// One zstd frame decoded while it arrives, piece by piece, into a sink: the updater's
// compressed files and binary patches. A patch is a frame whose matches may reach into a
// raw-content prefix, the file it was made from.

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

struct ZSTD_DCtx_s;
struct ZstdContextDeleter {
    void operator()(ZSTD_DCtx_s* context) const;
};
using UniqueZstdContext = std::unique_ptr<ZSTD_DCtx_s, ZstdContextDeleter>;

// Decoded bytes go here in order; false stops the decoding.
using ZstdSink = std::function<bool(const char* data, size_t size)>;

class ZstdFrameDecoder {
public:
    // A window of more than 2^27 bytes (128 MiB) is refused: no frame may make the updater
    // reserve more memory than that.
    static constexpr int kWindowLogMax = 27;

    // outputLimit: the frame may decode to this many bytes at most. prefix: the base of a
    // patch, or empty; it must stay unchanged until the frame is finished.
    ZstdFrameDecoder(uint64_t outputLimit, std::string_view prefix = {});
    ZstdFrameDecoder(const ZstdFrameDecoder&) = delete;
    ZstdFrameDecoder& operator=(const ZstdFrameDecoder&) = delete;

    // Decodes what arrived; false once the frame is corrupt, decodes to more than the
    // limit, is followed by more bytes, or the sink refused (Failure says which).
    bool Feed(const char* data, size_t size, const ZstdSink& sink);
    // True when exactly one whole frame has arrived and decoded without a failure.
    bool Finish();
    // Why the frame failed; null while it has not.
    const char* Failure() const { return m_pFailure; }
    uint64_t Decoded() const { return m_decoded; }

private:
    bool Fail(const char* why);

    UniqueZstdContext m_context;
    std::unique_ptr<char[]> m_output;
    size_t m_outputSize;
    uint64_t m_outputLimit;
    uint64_t m_decoded = 0;
    bool m_frameEnded = false;
    const char* m_pFailure = nullptr;
};
