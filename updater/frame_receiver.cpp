#include "updater/frame_receiver.h"

#include "shared/cng.h"

FrameReceiver::FrameReceiver(const FrameSource& frame, uint64_t fileBytes, std::string_view base, FileReceiver& file)
    : m_frame(frame), m_decoder(fileBytes, base), m_sink([&file](const char* data, size_t size) {
          return file.Receive(data, size);
      }) {}

bool FrameReceiver::Receive(const char* data, size_t size) {
    if (m_pFailure != nullptr) return false;
    // Stopped at once: a server that sends more than the frame must not be read to its end.
    if (size > m_frame.bytes - m_received) {
        m_pFailure = "more bytes arrived than the frame has";
        return false;
    }
    m_received += size;
    m_sha256.Add(data, size);
    if (!m_decoder.Feed(data, size, m_sink)) {
        m_pFailure = m_decoder.Failure();
        return false;
    }
    return true;
}

size_t FrameReceiver::WriteCallback(char* data, size_t size, size_t count, void* userdata) {
    const size_t bytes = size * count;
    return static_cast<FrameReceiver*>(userdata)->Receive(data, bytes) ? bytes : 0;
}

const char* FrameReceiver::Finish() {
    if (m_pFailure != nullptr) return m_pFailure;
    if (m_received != m_frame.bytes) return "the frame is shorter than the list names";
    const std::optional<std::string> digest = m_sha256.Finish();
    if (!digest) return "the frame's SHA-256 cannot be computed";
    if (LowerHex(*digest) != m_frame.sha256) return "the frame's SHA-256 differs from the list";
    if (!m_decoder.Finish()) return m_decoder.Failure();
    return nullptr;
}
