#include "skin/option_groups.h"

#include "skin/control.h"

#include <algorithm>

namespace skin_detail {

bool IsWithin(CControlUI* control, CControlUI* ancestor) {
    for (; control != nullptr; control = control->GetParent()) {
        if (control == ancestor) return true;
    }
    return false;
}

bool OptionGroups::Add(const char* group, CControlUI* option) {
    if (group == nullptr || *group == '\0' || option == nullptr) return false;
    auto& members = m_groups[group];
    if (std::find(members.begin(), members.end(), option) != members.end()) return false;
    members.push_back(option);
    return true;
}

void OptionGroups::Remove(const char* group, CControlUI* option) {
    if (group == nullptr) return;
    auto it = m_groups.find(group);
    if (it == m_groups.end()) return;
    auto& members = it->second;
    members.erase(std::remove(members.begin(), members.end(), option), members.end());
    if (members.empty()) m_groups.erase(it);
}

CControlUI** OptionGroups::Members(const char* group, int* count) {
    if (count != nullptr) *count = 0;
    if (group == nullptr) return nullptr;
    auto it = m_groups.find(group);
    if (it == m_groups.end() || it->second.empty()) return nullptr;
    if (count != nullptr) *count = static_cast<int>(it->second.size());
    return it->second.data();
}

void OptionGroups::ForgetWithin(CControlUI* subtree) {
    for (auto& group : m_groups) {
        auto& members = group.second;
        members.erase(std::remove_if(members.begin(), members.end(),
                                     [subtree](CControlUI* member) { return IsWithin(member, subtree); }),
                      members.end());
    }
}

}  // namespace skin_detail
