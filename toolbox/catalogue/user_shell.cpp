#include "toolbox/catalogue/user_shell.h"

#include "shared/com_helpers.h"
#include "shared/com_ptr.h"
#include "shared/diagnostic_log.h"
#include "shared/text.h"

#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cstdio>

namespace {

bool Failed(HRESULT result, const char* step, std::string* why) {
    if (SUCCEEDED(result)) return false;
    char text[160];
    std::snprintf(text, sizeof(text), "%s failed (0x%08lx)", step, static_cast<unsigned long>(result));
    *why = text;
    return true;
}

// A VARIANT that owns its text.
struct TextVariant {
    explicit TextVariant(const std::wstring& text) {
        ::VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    ~TextVariant() { ::VariantClear(&value); }
    TextVariant(const TextVariant&) = delete;
    TextVariant& operator=(const TextVariant&) = delete;
    VARIANT value;
};

}  // namespace

ComPtr<IShellDispatch2> DesktopShell(std::string* why) {
    ComPtr<IShellWindows> windows;
    if (Failed(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, windows.put_void()),
               "finding the shell's windows", why)) {
        return {};
    }
    VARIANT location;
    ::VariantInit(&location);
    VARIANT root;
    ::VariantInit(&root);
    long desktopWindow = 0;
    ComPtr<IDispatch> desktop;
    const HRESULT found =
        windows->FindWindowSW(&location, &root, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH, desktop.put());
    // S_FALSE: no desktop window is registered.
    if (Failed(found, "finding the desktop window", why)) return {};
    if (found != S_OK || !desktop) {
        *why = "no desktop window is registered";
        return {};
    }
    ComPtr<IServiceProvider> provider = desktop.As<IServiceProvider>();
    if (!provider) {
        *why = "the desktop offers no services";
        return {};
    }
    ComPtr<IShellBrowser> browser;
    if (Failed(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void()),
               "asking the desktop for its browser", why)) {
        return {};
    }
    ComPtr<IShellView> view;
    if (Failed(browser->QueryActiveShellView(view.put()), "asking the desktop for its view", why)) return {};
    ComPtr<IDispatch> background;
    if (Failed(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void()),
               "asking the desktop view for its object", why)) {
        return {};
    }
    ComPtr<IShellFolderViewDual> folderView = background.As<IShellFolderViewDual>();
    if (!folderView) {
        *why = "the desktop view has no folder view object";
        return {};
    }
    ComPtr<IDispatch> application;
    if (Failed(folderView->get_Application(application.put()), "asking the desktop for its shell", why)) return {};
    ComPtr<IShellDispatch2> shell = application.As<IShellDispatch2>();
    if (!shell) *why = "the desktop's shell cannot start files";
    return shell;
}

bool OpenThroughDesktopShell(const std::string& target, std::string* why) {
    ComScope com;
    if (!com.usable()) {
        *why = "COM is not available on this thread";
        return false;
    }
    ComPtr<IShellDispatch2> shell = DesktopShell(why);
    if (!shell) return false;
    UniqueBstr file = MakeBstr(AnsiToWide(target));
    TextVariant arguments(L"");
    TextVariant directory(L"");
    TextVariant operation(L"open");
    VARIANT show;
    ::VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return !Failed(shell->ShellExecute(file.get(), arguments.value, directory.value, operation.value, show),
                   "the desktop shell's start", why);
}

bool OpenAsUser(const std::string& target, HWND owner) {
    std::string why;
    if (OpenThroughDesktopShell(target, &why)) {
        LogLine("handed %s to the desktop shell, which opens it with the user's rights", target.c_str());
        return true;
    }
    LogLine("%s is not opened: it cannot be opened with the user's rights (%s)", target.c_str(), why.c_str());
    ::MessageBoxA(owner, kUserOpenFailedText, kUserOpenFailedCaption, MB_OK | MB_ICONWARNING);
    return false;
}
