#include "updater/transfer_limits.h"

UpdaterTransferLimits& UpdaterLimits() {
    static UpdaterTransferLimits limits;
    return limits;
}
