#include "frame/directory_error.h"

#include "shared/files.h"
#include "shared/text.h"

namespace {

// A message box shows at most MAX_PATH - 1 bytes of text; a long path gives way, not the words.
constexpr size_t kMaxBoxText = MAX_PATH - 1;

std::string DirectoryErrorText(const std::string& path) {
    const std::string before = "创建目录[";
    const std::string after = "]失败,请检查权限";
    const size_t room = kMaxBoxText - before.size() - after.size();
    return before + TruncateAnsi(path, room) + after;
}

}  // namespace

void ShowDirectoryError(const std::string& path, HWND owner) {
    ::MessageBoxA(owner, DirectoryErrorText(path).c_str(), "创建目录失败", MB_ICONERROR | MB_OK);
}

bool MakeDirectory(const std::string& path, HWND owner) {
    if (EnsureDirectory(path)) return true;
    ShowDirectoryError(path, owner);
    return false;
}
