// The registry operator against the real registry, in a key of the test's own below
// HKEY_LOCAL_MACHINE that is removed at the end.
#include "shared/unique_handle.h"
#include "tests/support/temp_dir.h"
#include "toolbox/reg_operator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class RegOperatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_subKey = "SOFTWARE\\KestrovaToolboxTest\\" + std::to_string(::GetCurrentProcessId());
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &m_key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegCloseKey(m_key);
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, m_subKey.c_str());
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KestrovaToolboxTest");  // only once empty
    }

    void Put(const char* name, DWORD type, const std::string& bytes) {
        ASSERT_EQ(::RegSetValueExA(m_key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                   static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    void PutText(const char* name, const std::string& text) { Put(name, REG_SZ, std::string(text.c_str(), text.size() + 1)); }

    bool Exists(const char* name) {
        return ::RegQueryValueExA(m_key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }

    std::string m_subKey;
    HKEY m_key = nullptr;
};

TEST_F(RegOperatorTest, ReadsTextOfUpTo199BytesWholeAndLongerOnesNotAtAll) {
    PutText("fits", std::string(199, 'a'));
    PutText("over", std::string(200, 'b'));
    // Chinese text counts in code page 936 bytes: 99 characters are 198 bytes.
    std::string chinese;
    for (int i = 0; i < 99; ++i) chinese += "税";
    PutText("chinese_fits", chinese);
    PutText("chinese_over", chinese + "票");

    CRegOperator registry;
    ASSERT_TRUE(registry.OpenKey(m_subKey.c_str()));
    std::string text = "before";
    EXPECT_TRUE(registry.ReadString("fits", text));
    EXPECT_EQ(text, std::string(199, 'a'));

    text = "before";
    EXPECT_FALSE(registry.ReadString("over", text));
    EXPECT_EQ(text, "before");

    EXPECT_TRUE(registry.ReadString("chinese_fits", text));
    EXPECT_EQ(text, chinese);
    text = "before";
    EXPECT_FALSE(registry.ReadString("chinese_over", text));
    EXPECT_EQ(text, "before");
}

TEST_F(RegOperatorTest, ReadsAnyTypeAsBytesUpToTheFirstZero) {
    Put("zero_first", REG_BINARY, std::string("\0abc", 4));
    const DWORD number = 49;
    Put("dword", REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof(number)));
    Put("binary", REG_BINARY, std::string("ab\0cd", 5));
    PutText("", "默认值");

    CRegOperator registry;
    ASSERT_TRUE(registry.OpenKey(m_subKey.c_str()));
    std::string text = "before";
    EXPECT_TRUE(registry.ReadString("zero_first", text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(registry.ReadString("dword", text));
    EXPECT_EQ(text, "1");
    EXPECT_TRUE(registry.ReadString("binary", text));
    EXPECT_EQ(text, "ab");  // replaced, not appended to
    EXPECT_TRUE(registry.ReadString("", text));
    EXPECT_EQ(text, "默认值");
    text = "before";
    EXPECT_FALSE(registry.ReadString("missing", text));
    EXPECT_EQ(text, "before");
}

TEST_F(RegOperatorTest, FailedOpenKeepsTheRootAndLaterCallsFail) {
    CRegOperator registry;
    EXPECT_EQ(registry.Key(), HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(registry.OpenKey((m_subKey + "\\missing").c_str()));
    EXPECT_EQ(registry.Key(), HKEY_LOCAL_MACHINE);
    std::string text = "before";
    EXPECT_FALSE(registry.ReadString("fits", text));
    EXPECT_EQ(text, "before");
    EXPECT_FALSE(registry.DeleteValue("KestrovaValueNowhere"));
}

TEST_F(RegOperatorTest, WritesTextWithItsTerminatingZero) {
    CRegOperator registry;
    ASSERT_TRUE(registry.OpenKey(m_subKey.c_str()));
    EXPECT_TRUE(registry.WriteString("empty", ""));
    EXPECT_TRUE(registry.WriteString("path", "\"C:\\Program Files\\开票助手\\Morvane.exe\""));

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(::RegQueryValueExA(m_key, "empty", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 1u);

    std::string text;
    EXPECT_TRUE(registry.ReadString("path", text));
    EXPECT_EQ(text, "\"C:\\Program Files\\开票助手\\Morvane.exe\"");
    ASSERT_EQ(::RegQueryValueExA(m_key, "path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, text.size() + 1);
}

TEST_F(RegOperatorTest, DeletesOnlyValuesThatExist) {
    PutText("AutoShow", "1");
    CRegOperator registry;
    ASSERT_TRUE(registry.OpenKey(m_subKey.c_str()));
    EXPECT_TRUE(registry.DeleteValue("AutoShow"));
    EXPECT_FALSE(Exists("AutoShow"));
    EXPECT_FALSE(registry.DeleteValue("AutoShow"));
}

// Saving a key needs the backup privilege enabled, which an elevated process holds but
// has switched off; the operator only passes the registry's answer on.
class BackupPrivilege {
public:
    explicit BackupPrivilege(bool enable) {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
        m_token.reset(token);
        Set(enable);
    }
    ~BackupPrivilege() {
        if (m_token) Set(false);
    }
    bool ok() const { return m_ok; }

private:
    void Set(bool enable) {
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        m_ok = ::LookupPrivilegeValueA(nullptr, "SeBackupPrivilege", &privileges.Privileges[0].Luid) &&
              ::AdjustTokenPrivileges(m_token.get(), FALSE, &privileges, 0, nullptr, nullptr) &&
              ::GetLastError() == ERROR_SUCCESS;
    }
    UniqueKernelHandle m_token;
    bool m_ok = false;
};

TEST_F(RegOperatorTest, SavesTheKeyIntoAFileWhenTheRegistryAllowsIt) {
    PutText("Veltrin", "\"C:\\Kestrova\\Morvane.exe\"");
    TempDir dir;
    CRegOperator registry;
    ASSERT_TRUE(registry.OpenKey(m_subKey.c_str()));
    {
        BackupPrivilege withoutPrivilege(false);
        EXPECT_FALSE(registry.SaveKey(dir.Child("refused").c_str()));
    }
    BackupPrivilege privilege(true);
    ASSERT_TRUE(privilege.ok());
    const std::string file = dir.Child("Veltrin");
    EXPECT_TRUE(registry.SaveKey(file.c_str()));
    EXPECT_GT(ReadFileBytes(file).size(), 0u);
}

TEST_F(RegOperatorTest, RootsAreChosenByTheirExactNamesOnly) {
    const struct {
        const char* name;
        HKEY key;
    } roots[] = {
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},       {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},     {"HKEY_USERS", HKEY_USERS},
        {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA}, {"HKEY_PERFORMANCE_TEXT", HKEY_PERFORMANCE_TEXT},
        {"HKEY_PERFORMANCE_NLSTEXT", HKEY_PERFORMANCE_NLSTEXT}, {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
        {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    };
    CRegOperator registry(HKEY_USERS);
    for (const auto& root : roots) {
        EXPECT_TRUE(registry.SetRootByName(root.name)) << root.name;
        EXPECT_EQ(registry.Key(), root.key) << root.name;
    }
    for (const char* wrong : {"hkey_local_machine", "HKEY_LOCAL_MACHINE\\SOFTWARE", "HKLM", "", " HKEY_USERS"}) {
        EXPECT_FALSE(registry.SetRootByName(wrong)) << wrong;
        EXPECT_EQ(registry.Key(), HKEY_DYN_DATA) << wrong;
    }

    // After a key was opened, a root chosen by name is where the next key opens from.
    PutText("code", "91110000TEST");
    CRegOperator reopened;
    ASSERT_TRUE(reopened.OpenKey(m_subKey.c_str()));
    ASSERT_TRUE(reopened.SetRootByName("HKEY_LOCAL_MACHINE"));
    ASSERT_TRUE(reopened.OpenKey(m_subKey.c_str()));
    std::string text;
    EXPECT_TRUE(reopened.ReadString("code", text));
    EXPECT_EQ(text, "91110000TEST");
}

TEST_F(RegOperatorTest, CloseForgetsTheKeyAndMayBeRepeated) {
    PutText("code", "x");
    {
        CRegOperator registry;
        ASSERT_TRUE(registry.OpenKey(m_subKey.c_str()));
        registry.Close();
        EXPECT_EQ(registry.Key(), nullptr);
        std::string text = "before";
        EXPECT_FALSE(registry.ReadString("code", text));
        EXPECT_EQ(text, "before");
        registry.Close();
        EXPECT_EQ(registry.Key(), nullptr);
    }  // and the destructor after it does nothing either
    CRegOperator root;
    root.Close();
    EXPECT_EQ(root.Key(), nullptr);
    // Closing an object that held only the predefined root leaves the root usable.
    CRegOperator again;
    ASSERT_TRUE(again.OpenKey(m_subKey.c_str()));
    std::string text;
    EXPECT_TRUE(again.ReadString("code", text));
    EXPECT_EQ(text, "x");
}

}  // namespace
