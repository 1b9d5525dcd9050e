// Entry states decided from the package folder and the real registry: entries under the
// uninstall list and version locators are made by the tests and removed afterwards.
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_server.h"
#include "toolbox/catalogue/installed_programs.h"
#include "toolbox/catalogue/open_and_launch.h"
#include "toolbox/catalogue/software_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

struct EntryFields {
    EntryFields(std::string name, std::string downName, std::string ver = "1.0", std::string oldVer = "",
                std::string icon = "")
        : name(std::move(name)), downName(std::move(downName)), ver(std::move(ver)), oldVer(std::move(oldVer)),
          icon(std::move(icon)) {}
    std::string name;
    std::string downName;
    std::string ver;
    std::string oldVer;
    std::string icon;  // a path on the server
};

std::string EntryJson(const EntryFields& entry, const TestServer& server) {
    return "{\"name\":\"" + entry.name + "\",\"viewname\":\"" + entry.name + "\",\"downname\":\"" + entry.downName +
           "\",\"ver\":\"" + entry.ver + "\",\"oldver\":\"" + entry.oldVer + "\",\"iocn\":\"" +
           (entry.icon.empty() ? "" : server.Url(entry.icon)) + "\",\"url\":\"\"}";
}

class SoftwareStates : public CatalogueLoadTest {
protected:
    SoftwareStates() : CatalogueLoadTest("softstate") {}
    UninstallEntries m_uninstall;

    // Loads a catalogue of these entries and returns their records, in order.
    std::vector<DuiSoft*> Load(const std::vector<EntryFields>& entries) {
        std::string json = "{\"data\":[";
        for (size_t i = 0; i < entries.size(); ++i) json += (i ? "," : "") + EntryJson(entries[i], m_server);
        const std::vector<DuiSoft*> records = LoadReply(json + "]}");
        EXPECT_EQ(records.size(), entries.size());
        return records;
    }

    void Install(const std::string& subkey, const std::string& displayName, const std::string& version = "1.0",
                 const std::string& publisher = "Kestrova Test", RegistryView view = MachineView32) {
        ASSERT_TRUE(m_uninstall.Add(subkey,
                                   {{"DisplayName", displayName},
                                    {"DisplayVersion", version},
                                    {"InstallLocation", "C:\\Programs\\" + subkey},
                                    {"Publisher", publisher},
                                    {"UninstallString", "C:\\Programs\\" + subkey + "\\uninstall.exe"}},
                                   view));
    }
};

TEST_F(SoftwareStates, APackageFileCountsOnlyUnderItsExactName) {
    ASSERT_TRUE(::CreateDirectoryA(m_install.SoftDir().c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(m_install.SoftDir() + "\\Present-Setup.exe", "package"));
    ASSERT_TRUE(WriteFileBytes(m_install.SoftDir() + "\\other-setup.EXE", "package"));
    const std::string present = UniqueTestName("pkgPresent");
    const std::string cased = UniqueTestName("pkgCased");
    const auto records = Load({{present, "Present-Setup.exe"}, {cased, "Other-Setup.exe"}});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]->state.load(), Downloaded);
    EXPECT_EQ(records[1]->state.load(), NotDownloaded);
}

TEST_F(SoftwareStates, TheNameMustStartWithinTheFirstElevenCharacters) {
    const std::string at10 = UniqueTestName("ProbeTen");
    const std::string at11 = UniqueTestName("ProbeEleven");
    Install(UniqueTestName("KestrovaTest-"), "0123456789" + at10 + " Suite", "3.4");
    Install(UniqueTestName("KestrovaTest-"), "01234567890" + at11 + " Suite", "3.4");
    const auto records = Load({{at10, at10 + ".exe"}, {at11, at11 + ".exe"}});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]->state.load(), Installed);
    EXPECT_EQ(records[0]->installedVersion, "3.4");
    EXPECT_EQ(records[1]->state.load(), NotDownloaded);
    EXPECT_EQ(records[1]->installedVersion, "");
}

TEST_F(SoftwareStates, InstalledCopiesTheProgramsDetails) {
    const std::string name = UniqueTestName("ProbeDetails");
    const std::string subkey = UniqueTestName("KestrovaTest-");
    Install(subkey, name, "5.6.7");
    const auto records = Load({{name, name + ".exe"}});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->state.load(), Installed);
    EXPECT_EQ(records[0]->installedVersion, "5.6.7");
    EXPECT_EQ(records[0]->installLocation, "C:\\Programs\\" + subkey);
    EXPECT_EQ(records[0]->uninstallString, "C:\\Programs\\" + subkey + "\\uninstall.exe");
}

TEST_F(SoftwareStates, MicrosoftProgramsAndUpdatePackagesNeverMatch) {
    const std::string corporation = UniqueTestName("ProbeCorp");
    const std::string plain = UniqueTestName("ProbePlain");
    const std::string update = UniqueTestName("ProbeUpdate");
    const std::string lookalike = UniqueTestName("ProbeLookalike");
    Install(UniqueTestName("KestrovaTest-"), corporation, "1.0", "Microsoft Corporation");
    Install(UniqueTestName("KestrovaTest-"), plain, "1.0", "Microsoft");
    const std::string updateKey = UniqueTestName("KB");
    Install(updateKey, update);
    Install(UniqueTestName("KestrovaTest-"), lookalike, "1.0", "Microsoft Corporation Ltd");

    const InstalledProgramList installed;
    const auto& updates = installed.UpdatePackages();
    EXPECT_TRUE(std::any_of(updates.begin(), updates.end(),
                            [&](const InstalledProgram& p) { return p.displayName == update; }));
    const auto programs = installed.Programs();
    const auto listed = std::find_if(programs.begin(), programs.end(),
                                     [&](const InstalledProgram& p) { return p.displayName == lookalike; });
    ASSERT_NE(listed, programs.end());
    EXPECT_EQ(listed->subkeyPath.rfind(std::string(kUninstallKeyPath) + "\\KestrovaTest-", 0), 0u);

    const auto records =
        Load({{corporation, "c.exe"}, {plain, "p.exe"}, {update, "u.exe"}, {lookalike, "l.exe"}});
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0]->state.load(), NotDownloaded);
    EXPECT_EQ(records[1]->state.load(), NotDownloaded);
    EXPECT_EQ(records[2]->state.load(), NotDownloaded);
    EXPECT_EQ(records[3]->state.load(), Installed);  // only the exact publisher texts are dropped
}

TEST_F(SoftwareStates, RecordedVersionsCompareAsText) {
    MachineTestKey versions(UniqueTestName("Versions"));
    ASSERT_TRUE(versions.Set("Older", "1.10"));
    ASSERT_TRUE(versions.Set("Same", "2.0"));
    ASSERT_TRUE(versions.Set("", "0.1"));
    const std::string older = UniqueTestName("ProbeOlder");
    const std::string same = UniqueTestName("ProbeSame");
    const std::string noColon = UniqueTestName("ProbeNoColon");
    const std::string missing = UniqueTestName("ProbeMissing");
    for (const std::string& name : {older, same, noColon, missing}) Install(UniqueTestName("KestrovaTest-"), name);

    const std::string key = JsonEscaped(versions.Path());
    const auto records = Load({{older, "o.exe", "1.9", key + ":Older"},
                               {same, "s.exe", "2.0", key + ":Same"},
                               {noColon, "n.exe", "9.9", key},
                               {missing, "m.exe", "9.9", key + ":Absent"}});
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0]->state.load(), UpdateAvailable);  // "1.10" sorts before "1.9"
    EXPECT_EQ(records[1]->state.load(), Installed);
    EXPECT_EQ(records[2]->state.load(), Installed);
    EXPECT_EQ(records[3]->state.load(), Installed);
}

TEST_F(SoftwareStates, EveryRegistryViewIsScannedAndItsLocatorsReadThere) {
    const RegistryView views[] = {MachineView32, MachineView64, UserView};
    std::vector<std::unique_ptr<MachineTestKey>> locators;
    std::vector<EntryFields> entries;
    for (const RegistryView view : views) {
        locators.push_back(std::make_unique<MachineTestKey>(UniqueTestName("View"), view));
        ASSERT_TRUE(locators.back()->Set("Version", "1.0"));
        ASSERT_TRUE(locators.back()->Set("Exe", "C:\\view" + std::to_string(view) + ".exe"));
        const std::string name = UniqueTestName("ProbeView");
        Install(UniqueTestName("KestrovaTest-"), name, "1.0", "Kestrova Test", view);
        entries.emplace_back(name, name + ".exe", "2.0", JsonEscaped(locators.back()->Path()) + ":Version");
    }
    const auto records = Load(entries);
    ASSERT_EQ(records.size(), std::size(views));
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(views[i]);
        EXPECT_EQ(records[i]->registryView, views[i]);
        EXPECT_EQ(records[i]->state.load(), UpdateAvailable);  // the version was read in the same view
        EXPECT_EQ(InstalledProgramPath(locators[i]->Path() + ":Exe", views[i]),
                  "C:\\view" + std::to_string(views[i]) + ".exe");
    }
    // The view is the one the program was found in, not any view holding the locator.
    EXPECT_EQ(InstalledProgramPath(locators[1]->Path() + ":Exe", MachineView32), "");
}

TEST_F(SoftwareStates, AnInstalledProgramOutranksItsPackageFile) {
    ASSERT_TRUE(::CreateDirectoryA(m_install.SoftDir().c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(m_install.SoftDir() + "\\both.exe", "package"));
    const std::string name = UniqueTestName("ProbeBoth");
    Install(UniqueTestName("KestrovaTest-"), name);
    const auto records = Load({{name, "both.exe"}});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->state.load(), Installed);
}

TEST_F(SoftwareStates, TheLastMatchingProgramWins) {
    const std::string name = UniqueTestName("ProbeTwice");
    Install(UniqueTestName("KestrovaTest-a"), name + " Classic", "1.0");
    Install(UniqueTestName("KestrovaTest-b"), name + " Plus", "2.0");
    const InstalledProgramList installed;
    std::vector<std::string> versionsInOrder;
    for (const InstalledProgram& program : installed.Programs()) {
        if (program.displayName.rfind(name, 0) == 0) versionsInOrder.push_back(program.displayVersion);
    }
    ASSERT_EQ(versionsInOrder.size(), 2u);
    const auto records = Load({{name, "t.exe"}});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->installedVersion, versionsInOrder.back());
}

TEST_F(SoftwareStates, IconsAreFetchedOnceTheyAreLargerThan1000Bytes) {
    ASSERT_TRUE(m_server.Put("/icons/large.png", PatternBytes(1001)));
    ASSERT_TRUE(m_server.Put("/icons/small.png", PatternBytes(1000)));
    const std::string large = UniqueTestName("IconLarge");
    const std::string small = UniqueTestName("IconSmall");
    const std::vector<EntryFields> entries{{large, "l.exe", "1.0", "", "/icons/large.png"},
                                           {small, "s.exe", "1.0", "", "/icons/small.png"},
                                           {"..", "r.exe", "1.0", "", "/icons/large.png"}};
    auto records = Load(entries);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]->iconPath, m_install.SoftDir() + "\\" + large + ".png");
    EXPECT_EQ(ReadFileBytes(records[0]->iconPath), PatternBytes(1001));
    EXPECT_EQ(records[1]->iconPath, m_install.SoftDir() + "\\" + small + ".png");
    EXPECT_EQ(records[2]->iconPath, "");  // a name that is no plain file name gets no icon
    EXPECT_EQ(m_server.CountRequests("/icons/large.png"), 1);
    EXPECT_EQ(m_server.CountRequests("/icons/small.png"), 1);

    records = Load(entries);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]->iconPath, m_install.SoftDir() + "\\" + large + ".png");
    EXPECT_EQ(m_server.CountRequests("/icons/large.png"), 1);
    EXPECT_EQ(m_server.CountRequests("/icons/small.png"), 2);
}

TEST_F(SoftwareStates, FailedIconsLeaveNoFileAndTheirServerIsAskedOncePerLoad) {
    ASSERT_TRUE(m_server.Put("/icons/empty.png", ""));
    ASSERT_TRUE(m_server.Put("/icons/gone.png", PatternBytes(5000)));
    ASSERT_TRUE(m_server.SetFault("/icons/gone.png", "mode=drop&after=10&reset=1&count=1"));
    ASSERT_TRUE(m_server.Put("/icons/later.png", PatternBytes(5000)));
    const std::string empty = UniqueTestName("IconEmpty");
    const std::string gone = UniqueTestName("IconGone");
    const std::vector<EntryFields> entries{{empty, "e.exe", "1.0", "", "/icons/empty.png"},
                                           {gone, "g.exe", "1.0", "", "/icons/gone.png"},
                                           {UniqueTestName("IconLater"), "l.exe", "1.0", "", "/icons/later.png"}};
    auto records = Load(entries);
    ASSERT_EQ(records.size(), 3u);
    for (const DuiSoft* record : records) EXPECT_EQ(record->iconPath, "");
    EXPECT_FALSE(PathExists(m_install.SoftDir() + "\\" + empty + ".png"));
    EXPECT_FALSE(PathExists(m_install.SoftDir() + "\\" + gone + ".png"));
    EXPECT_EQ(m_server.CountRequests("/icons/later.png"), 0);  // its server had failed in this load

    records = Load(entries);  // the next load asks again
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(ReadFileBytes(records[1]->iconPath), PatternBytes(5000));
    EXPECT_EQ(ReadFileBytes(records[2]->iconPath), PatternBytes(5000));
}

}  // namespace
