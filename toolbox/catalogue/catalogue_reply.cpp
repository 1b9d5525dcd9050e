#include "toolbox/catalogue/catalogue_reply.h"

#include "shared/diagnostic_log.h"
#include "shared/http.h"


HttpReply FetchCatalogueReply(const char* what, const std::string& url, const TransferStopCheck& stop) {
    HttpReply reply = HttpGetString(url, ReplyLimits{kCatalogueReplyTotalSeconds, kCatalogueReplyMaxBytes}, stop);
    LogLine("%s load from %s: %s, %lu bytes", what, url.c_str(), DescribeTransfer(reply.result, reply.status).c_str(),
            static_cast<unsigned long>(reply.body.size()));
    return reply;
}
