#pragma once
// The outcome of a Win32 call, with its error code taken at the call. GetLastError
// belongs to whatever ran last: read after a cleanup (a handle closed, an attribute put
// back, a staging file removed) it gives that call's code, or none, and the log line
// would blame the wrong step.

#include <windows.h>

class Win32Result {
public:
    Win32Result() = default;  // success

    // Right after a call that failed, before any other call. A failed call that set no
    // code still reads as a failure.
    static Win32Result LastError() {
        return Failure(::GetLastError());
    }
    // A failure the call reported otherwise than through GetLastError (a short write).
    static Win32Result Failure(DWORD code) { return Win32Result(code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE); }
    // A call that returns its error code (the security and registry functions).
    static Win32Result FromCode(DWORD code) { return Win32Result(code); }
    // A call's result that is nonzero on success (BOOL, a handle, a pointer). The
    // argument is evaluated first, so the code is read straight after the call.
    template <typename CallResult>
    static Win32Result Of(CallResult succeeded) {
        return succeeded ? Win32Result() : LastError();
    }

    bool Succeeded() const { return m_code == ERROR_SUCCESS; }
    explicit operator bool() const { return Succeeded(); }
    // ERROR_SUCCESS when the call succeeded; what log lines print as "(error N)".
    DWORD Code() const { return m_code; }

private:
    explicit Win32Result(DWORD code) : m_code(code) {}
    DWORD m_code = ERROR_SUCCESS;
};
