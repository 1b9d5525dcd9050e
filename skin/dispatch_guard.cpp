#include "skin/dispatch_guard.h"

#include "skin/control.h"

namespace skin_detail {

DispatchGuard::~DispatchGuard() { DeleteNow(); }

void DispatchGuard::Begin() { ++m_depth; }

void DispatchGuard::End() {
    if (m_depth > 0 && --m_depth == 0) DeleteNow();
}

void DispatchGuard::Delete(CControlUI* control) {
    if (control == nullptr) return;
    if (m_depth > 0) {
        m_queued.push_back(control);
    } else {
        delete control;
    }
}

void DispatchGuard::DeleteNow() {
    m_depth = 0;
    // Deleting may queue more (a destructor removing children): drain until empty.
    while (!m_queued.empty()) {
        std::vector<CControlUI*> batch;
        batch.swap(m_queued);
        for (CControlUI* control : batch) delete control;
    }
}

}  // namespace skin_detail
