#pragma once
// The computer-examination pane: a container that holds whatever "ComputerExamine.xml"
// of the skin archive lays out, and the builder callback that places it for the element
// "ComputerExamine".

#include "skin/skin.h"

class ComputerExamineUI : public CContainerUI {
public:
    ComputerExamineUI();
    const char* GetClass() const override;  // "ComputerExamine"
};

class CDialogBuilderCallbackEx : public IDialogBuilderCallback {
public:
    CControlUI* CreateControl(const char* className) override;
};
