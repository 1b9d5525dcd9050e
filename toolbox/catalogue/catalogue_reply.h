#pragma once
// One catalogue request (software list, document folder), bounded in time and size, with a
// line in the diagnostic log saying how it went.

#include "shared/http.h"

#include <cstddef>
#include <string>

// A catalogue of a few hundred entries is well under this; more is no catalogue.
inline constexpr size_t kCatalogueReplyMaxBytes = 4 * 1024 * 1024;
inline constexpr long kCatalogueReplyTotalSeconds = 60;
// The status reply is a digit: anything long or slow is no answer.
inline constexpr size_t kStatusReplyMaxBytes = 4096;
inline constexpr long kStatusReplyTotalSeconds = 20;

// The reply: its body whatever its HTTP status (an unsigned build parses an error page as
// no catalogue), empty when the transfer failed or the reply went over the limits. what
// names the list in the log. stop can end the transfer early (a reload, the program's exit).
HttpReply FetchCatalogueReply(const char* what, const std::string& url, const TransferStopCheck& stop = {});
