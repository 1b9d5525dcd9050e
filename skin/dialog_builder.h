#pragma once
// Builds a control tree from an XML layout (docs/skin-format.md).

#include "skin/control.h"

class CPaintManagerUI;

class SKIN_API IDialogBuilderCallback {
public:
    // Asked for element names the builder does not know; null leaves the element out.
    virtual CControlUI* CreateControl(const char* className) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

class SKIN_API CDialogBuilder {
public:
    CDialogBuilder();
    ~CDialogBuilder();
    CDialogBuilder(const CDialogBuilder&) = delete;
    CDialogBuilder& operator=(const CDialogBuilder&) = delete;

    // layout: a file name in the skin resources, or the XML text itself when it starts
    // with '<'. type: reserved, pass null. With a manager, the <Window> element's
    // values (size, caption, corner, fonts) are applied to it and the tree is
    // initialised for it. Returns the root control (owned by the caller, or by the
    // manager once attached), or null when the layout cannot be read or holds no control.
    CControlUI* Create(const char* layout, const char* type = nullptr,
                       IDialogBuilderCallback* callback = nullptr, CPaintManagerUI* manager = nullptr,
                       CControlUI* parent = nullptr);

    // The message of the last parse failure, empty after success.
    CDuiString GetLastError() const;

private:
    CDuiString m_lastError;
};
