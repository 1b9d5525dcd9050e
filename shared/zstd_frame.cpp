#include "shared/zstd_frame.h"

#include <zstd.h>

void ZstdContextDeleter::operator()(ZSTD_DCtx_s* context) const { ZSTD_freeDCtx(context); }

ZstdFrameDecoder::ZstdFrameDecoder(uint64_t outputLimit, std::string_view prefix)
    : m_context(ZSTD_createDCtx()), m_outputSize(ZSTD_DStreamOutSize()), m_outputLimit(outputLimit) {
    if (!m_context) {
        Fail("no decoder (out of memory)");
        return;
    }
    m_output.reset(new (std::nothrow) char[m_outputSize]);
    if (!m_output) {
        Fail("no decoder buffer (out of memory)");
        return;
    }
    if (ZSTD_isError(ZSTD_DCtx_setParameter(m_context.get(), ZSTD_d_windowLogMax, kWindowLogMax))) {
        Fail("the decoder takes no window limit");
        return;
    }
    // The prefix is referenced, not copied: it serves this one frame.
    if (!prefix.empty() && ZSTD_isError(ZSTD_DCtx_refPrefix(m_context.get(), prefix.data(), prefix.size()))) {
        Fail("the decoder takes no prefix");
    }
}

bool ZstdFrameDecoder::Fail(const char* why) {
    if (m_pFailure == nullptr) m_pFailure = why;
    return false;
}

bool ZstdFrameDecoder::Feed(const char* data, size_t size, const ZstdSink& sink) {
    if (m_pFailure != nullptr) return false;
    if (size == 0) return true;
    // One frame only: whatever follows its end is not part of the file.
    if (m_frameEnded) return Fail("bytes follow the end of the frame");
    ZSTD_inBuffer input{data, size, 0};
    for (;;) {
        ZSTD_outBuffer output{m_output.get(), m_outputSize, 0};
        const size_t result = ZSTD_decompressStream(m_context.get(), &output, &input);
        if (ZSTD_isError(result)) return Fail(ZSTD_getErrorName(result));
        if (output.pos > m_outputLimit - m_decoded) return Fail("it decodes to more bytes than the file has");
        m_decoded += output.pos;
        if (output.pos > 0 && !sink(m_output.get(), output.pos)) return Fail("the decoded bytes cannot be written");
        if (result == 0) {
            // The frame is decoded and flushed; the decoder stops at its end.
            m_frameEnded = true;
            return input.pos == input.size || Fail("bytes follow the end of the frame");
        }
        // A full output buffer may hold back more although every input byte is taken.
        if (input.pos == input.size && output.pos < output.size) return true;
    }
}

bool ZstdFrameDecoder::Finish() {
    if (m_pFailure != nullptr) return false;
    return m_frameEnded || Fail("the frame ends early");
}
