#include "updater/transfer_limits.h"

UpdaterTransferLimits& UpdaterLimits() {
    static UpdaterTransferLimits limits;
    return limits;
}

ReplyLimits UpdaterReplyLimits(const ReplyLimits& reply) {
    ReplyLimits limits = reply;
    limits.transfer = UpdaterLimits().transfer;
    return limits;
}
