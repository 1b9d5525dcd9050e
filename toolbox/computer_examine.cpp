#include "toolbox/computer_examine.h"

#include <cstring>

ComputerExamineUI::ComputerExamineUI() {
    // Built without a callback, so the pane's own layout cannot nest another pane.
    CDialogBuilder builder;
    CControlUI* content = builder.Create("ComputerExamine.xml", nullptr, nullptr, nullptr, nullptr);
    if (content != nullptr) {
        Add(content);
    } else {
        RemoveAll();
    }
}

const char* ComputerExamineUI::GetClass() const { return "ComputerExamine"; }

CControlUI* CDialogBuilderCallbackEx::CreateControl(const char* className) {
    if (className != nullptr && std::strcmp(className, "ComputerExamine") == 0) {
        return new ComputerExamineUI;
    }
    return nullptr;
}
