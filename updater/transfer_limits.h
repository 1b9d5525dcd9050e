#pragma once
// How long and how large the updater's transfers may be. It runs at logon, before the
// user can do anything, so a server that trickles must not hold it: replies kept in
// memory have a total time and a size cap; files, whose size has no fixed bound, a
// minimum average speed; every transfer, connect and stall limits. Tests shorten them.

#include "shared/http.h"
#include "shared/signature.h"

struct UpdaterTransferLimits {
    TransferLimits transfer = kDefaultTransferLimits;
    ReplyLimits versionReply{30, 1024};
    ReplyLimits listReply{60, 4 * 1024 * 1024};
    ReplyLimits signatureReply{30, kSignatureReplyMaxBytes};
    // 60 MB at 1 KB/s would take 17 hours: slower than that only keeps the updater hanging.
    MinimumAverageSpeed fileSpeed{1024, 60};
};

// Process-wide; written before the worker starts, read afterwards.
UpdaterTransferLimits& UpdaterLimits();

// A reply's own limits with the connect and stall limits of every updater transfer.
ReplyLimits UpdaterReplyLimits(const ReplyLimits& reply);
