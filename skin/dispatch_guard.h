#pragma once
// Controls removed while an event or notification is being handled may still be on the
// stack of the code that handles it: they are deleted only once the outermost dispatch
// has returned.

#include <vector>

class CControlUI;

namespace skin_detail {

class DispatchGuard {
public:
    DispatchGuard() = default;
    ~DispatchGuard();
    DispatchGuard(const DispatchGuard&) = delete;
    DispatchGuard& operator=(const DispatchGuard&) = delete;

    void Begin();
    // The outermost end deletes what was removed meanwhile.
    void End();
    // At once when nothing is being dispatched, else at the outermost end.
    void Delete(CControlUI* control);
    // Deletes everything queued, whatever the depth: the manager is going away.
    void DeleteNow();

    // Brackets one dispatch.
    class Scope {
    public:
        explicit Scope(DispatchGuard& guard) : m_guard(guard) { m_guard.Begin(); }
        ~Scope() { m_guard.End(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        DispatchGuard& m_guard;
    };

private:
    int m_depth = 0;
    std::vector<CControlUI*> m_queued;
};

}  // namespace skin_detail
