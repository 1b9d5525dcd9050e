#include "shared/proxy_script.h"

#include "shared/text.h"
#include "shared/unique_handle.h"

#include <windows.h>
#include <winhttp.h>

namespace {

using UniqueSession = UniqueHandle<NullableHandleTraits<HINTERNET, ::WinHttpCloseHandle>>;
using GlobalWideText = UniqueHandle<NullableHandleTraits<LPWSTR, ::GlobalFree>>;

}  // namespace

bool AskProxyScript(const std::string& scriptUrl, const std::string& url, std::string* answer) {
    const UniqueSession session(
        ::WinHttpOpen(L"Kestrova", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return false;
    // The script's own server is reached directly; it must not hold a transfer for long.
    ::WinHttpSetTimeouts(session.get(), 5000, 5000, 5000, 5000);
    const std::wstring wideScript = AnsiToWide(scriptUrl);
    const std::wstring wideUrl = AnsiToWide(url);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = wideScript.c_str();
    WINHTTP_PROXY_INFO info{};
    if (!::WinHttpGetProxyForUrl(session.get(), wideUrl.c_str(), &options, &info)) return false;
    const GlobalWideText proxy(info.lpszProxy);
    const GlobalWideText bypass(info.lpszProxyBypass);
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NO_PROXY || !proxy) {
        *answer = "DIRECT";
    } else {
        *answer = WideToAnsi(proxy.get());
    }
    return true;
}
