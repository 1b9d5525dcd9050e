#pragma once
// Named groups of options for one-of-many selection, in the order the options joined.

#include <map>
#include <string>
#include <vector>

class CControlUI;

namespace skin_detail {

class OptionGroups {
public:
    bool Add(const char* group, CControlUI* option);
    void Remove(const char* group, CControlUI* option);
    // The group's options (null when there are none), count set to their number.
    CControlUI** Members(const char* group, int* count);
    // A subtree is going away: its options leave every group.
    void ForgetWithin(CControlUI* subtree);

private:
    std::map<std::string, std::vector<CControlUI*>> m_groups;
};

// Whether control is ancestor or lies below it.
bool IsWithin(CControlUI* control, CControlUI* ancestor);

}  // namespace skin_detail
