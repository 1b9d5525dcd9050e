// The updater's logon task definition, as the installer writes it to a file and the toolbox
// hands it to the Task Scheduler.
#include "shared/logon_task.h"
#include "shared/text.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(LogonTask, StartsTheQuotedUpdaterOnceForAnyUserAtLogonWithTheHighestRights) {
    ASSERT_EQ(::GetACP(), 936u) << "the Chinese folder below only means something in code page 936";
    struct Case {
        const char* installDir;  // ANSI, as the programs hold it
        const wchar_t* action;   // as the XML holds it
    };
    const Case cases[] = {
        {"C:\\Program Files\\Kestrova", L"<Command>&quot;C:\\Program Files\\Kestrova\\Morvane.exe&quot;</Command>\r\n"
                                        L"      <WorkingDirectory>C:\\Program Files\\Kestrova\\</WorkingDirectory>"},
        {"D:\\Kestrova 开票工具箱", L"<Command>&quot;D:\\Kestrova 开票工具箱\\Morvane.exe&quot;</Command>\r\n"
                                    L"      <WorkingDirectory>D:\\Kestrova 开票工具箱\\</WorkingDirectory>"},
        {"E:\\R&D's <x>", L"<Command>&quot;E:\\R&amp;D&apos;s &lt;x&gt;\\Morvane.exe&quot;</Command>\r\n"
                          L"      <WorkingDirectory>E:\\R&amp;D&apos;s &lt;x&gt;\\</WorkingDirectory>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.installDir);
        const std::wstring xml = LogonTaskXml(c.installDir);
        const std::string file = LogonTaskXmlFile(c.installDir);
        ASSERT_EQ(file.size(), 2 * (xml.size() + 1));
        EXPECT_EQ(file.substr(0, 2), "\xFF\xFE") << "UTF-16LE byte-order mark";
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(file.data() + 2), xml.size()), xml);  // x86: LE
        EXPECT_EQ(xml.rfind(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>", 0), 0u);
        for (const wchar_t* part : {L"<LogonTrigger>\r\n      <Enabled>true</Enabled>\r\n    </LogonTrigger>",
                                    L"<GroupId>S-1-5-32-545</GroupId>", L"<RunLevel>HighestAvailable</RunLevel>",
                                    L"<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>", c.action}) {
            EXPECT_NE(xml.find(part), std::wstring::npos) << part;
        }
        for (const wchar_t* absent : {L"<UserId>", L"<Arguments>"}) EXPECT_EQ(xml.find(absent), std::wstring::npos);
    }
    // Back through code page 936: the very bytes the programs hold.
    const std::string ansi = WideToAnsi(LogonTaskXml("D:\\Kestrova 开票工具箱"));
    EXPECT_NE(ansi.find("&quot;D:\\Kestrova 开票工具箱\\Morvane.exe&quot;"), std::string::npos);
}

}  // namespace
