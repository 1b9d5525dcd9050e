#include "skin/dispatch_guard.h"

#include "skin/control.h"

namespace skin_detail {

DispatchGuard::~DispatchGuard() { DeleteNow(); }

void DispatchGuard::Begin() { ++depth_; }

void DispatchGuard::End() {
    if (depth_ > 0 && --depth_ == 0) DeleteNow();
}

void DispatchGuard::Delete(CControlUI* control) {
    if (control == nullptr) return;
    if (depth_ > 0) {
        queued_.push_back(control);
    } else {
        delete control;
    }
}

void DispatchGuard::DeleteNow() {
    depth_ = 0;
    // Deleting may queue more (a destructor removing children): drain until empty.
    while (!queued_.empty()) {
        std::vector<CControlUI*> batch;
        batch.swap(queued_);
        for (CControlUI* control : batch) delete control;
    }
}

}  // namespace skin_detail
