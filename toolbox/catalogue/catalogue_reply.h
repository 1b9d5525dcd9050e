#pragma once
// One catalogue request (software list, document folder), bounded in time and size, with a
// line in the diagnostic log saying how it went.

#include <cstddef>
#include <string>

// A catalogue of a few hundred entries is well under this; more is no catalogue.
inline constexpr size_t kCatalogueReplyMaxBytes = 4 * 1024 * 1024;
inline constexpr long kCatalogueReplyTotalSeconds = 60;

// The reply's body whatever its HTTP status (an error page parses as no catalogue);
// empty when the transfer failed or the reply went over the limits. what names the list
// in the log.
std::string FetchCatalogueReply(const char* what, const std::string& url);
