#include "tests/support/message_window.h"

namespace {
constexpr char kClassName[] = "KestrovaTestMessages";
}

MessageOnlyWindow::MessageOnlyWindow(Handler handler) : m_handler(std::move(handler)) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassA(&windowClass);  // fails harmlessly when registered before
    m_window = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                                 nullptr);
    if (m_window != nullptr) ::SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageOnlyWindow::~MessageOnlyWindow() {
    if (m_window != nullptr) ::DestroyWindow(m_window);
}

LRESULT CALLBACK MessageOnlyWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MessageOnlyWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr && self->m_handler(message, wParam, lParam)) return 0;
    return ::DefWindowProcA(window, message, wParam, lParam);
}
