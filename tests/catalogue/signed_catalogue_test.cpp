// What a signed build reads of a signed reply: which entries and items it keeps, which
// folders it requests and which signature binds which folder; and how a package already in
// the folder is judged by its record or its bytes. The end-to-end table
// (tests/toolbox/signed_catalogue_e2e_test.cpp) drives the same through the built program.
#include "shared/cng.h"
#include "shared/sha256.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/signing_key.h"
#include "tests/support/test_server.h"
#include "toolbox/catalogue/document_catalogue.h"
#include "toolbox/catalogue/package_records.h"
#include "toolbox/catalogue/signed_catalogue.h"
#include "toolbox/catalogue/software_catalogue.h"

#include <gtest/gtest.h>

namespace {

const std::string kDigest(64, 'a');

class SignedCatalogueTest : public ::testing::Test {
protected:
    // The reply, and its signature for what, as the publishing tool stores them.
    void Serve(const std::string& route, const std::string& what, const std::string& body) {
        ASSERT_TRUE(m_server.Put(route, body));
        ASSERT_TRUE(m_server.Put("/sigs/" + LowerHex(Sha256Of(body).value_or("")) + ".sig",
                                 m_key.Sign(SignedCatalogueMessage(what, body))));
    }
    CatalogueContext Context() const {
        CatalogueContext context = m_folder.Context(m_server.BaseUrl());
        context.keys = m_key.PublicHex();
        return context;
    }

    SigningKey m_key = SigningKey::Generate();
    TestServer m_server{"signed"};
    CatalogueFolder m_folder;
};

TEST_F(SignedCatalogueTest, AnEntryIsKeptOnlyWithItsDigestLengthAndAProgramToStart) {
    struct Entry {
        const char* members;
        bool kept;
    } const entries[] = {
        {"\"downname\": \"a.exe\", \"sha256\": \"<d>\", \"bytes\": 5", true},
        {"\"downname\": \"a.exe\", \"sha256\": \"<d>\", \"bytes\": 0", true},
        {"\"downname\": \"a.exe\", \"sha256\": \"<d>\", \"bytes\": \"5\"", false},
        {"\"downname\": \"a.exe\", \"sha256\": \"<d>\", \"bytes\": 5.0", false},
        {"\"downname\": \"a.exe\", \"sha256\": \"<d>\", \"bytes\": -1", false},
        {"\"downname\": \"a.exe\", \"sha256\": \"<D>\", \"bytes\": 5", false},
        {"\"downname\": \"a.exe\", \"bytes\": 5", false},
        {"\"downname\": \"a.msi\", \"sha256\": \"<d>\", \"bytes\": 5", false},
        {"\"downname\": \"a.EXE\", \"sha256\": \"<d>\", \"bytes\": 5", false},
        {"\"downname\": \"a.lnk\", \"sha256\": \"<d>\", \"bytes\": 5", false},
    };
    std::string body = "{\"data\": [";
    for (const Entry& entry : entries) {
        std::string members = entry.members;
        for (const auto& [mark, digest] : {std::pair<std::string, std::string>{"<d>", kDigest},
                                           std::pair<std::string, std::string>{"<D>", std::string(64, 'A')}}) {
            if (members.find(mark) != std::string::npos) members.replace(members.find(mark), mark.size(), digest);
        }
        body += std::string(&entry == entries ? "" : ",") + "{\"name\": \"e\", " + members + "}";
    }
    Serve("/F", "F", body + "]}");
    const SoftwareCatalogue catalogue = ReadSoftwareCatalogue(Context());
    ASSERT_TRUE(catalogue.arrived);
    size_t kept = 0;
    for (const Entry& entry : entries) kept += entry.kept ? 1 : 0;
    ASSERT_EQ(catalogue.entries.size(), kept);
    EXPECT_EQ(catalogue.entries[0]->bytes, 5);
    EXPECT_EQ(catalogue.entries[0]->sha256, kDigest);
    EXPECT_EQ(catalogue.entries[1]->bytes, 0);
}

TEST_F(SignedCatalogueTest, AFolderIsReadOnlyUnderItsOwnIdAndKeepsWhatCanBeCheckedAndOpened) {
    const std::string item = "\"type\": 1, \"url\": \"u\", \"sha256\": \"" + kDigest + "\", \"bytes\": 3";
    const std::string body = "{\"data\": [{\"id\": \"1\", \"name\": \"guide.pdf\", " + item +
                             "}, {\"id\": \"2\", \"name\": \"run.lnk\", " + item +
                             "}, {\"id\": \"3\", \"name\": \"nodigest.pdf\", \"type\": 1}, "
                             "{\"id\": \"sub-1\", \"name\": \"folder\", \"type\": 10}, "
                             "{\"id\": \"../x\", \"name\": \"elsewhere\", \"type\": 0}, {\"id\": \"\", \"name\": \"other\", \"type\": 2}]}";
    Serve("/D", "D 1", body);  // one signature for folder 1: only that folder's reply is the maker's
    const DocumentFolder one = ReadDocumentFolder(Context(), "1");
    ASSERT_TRUE(one.arrived);
    std::vector<std::string> names;
    for (const auto& kept : one.items) names.push_back(kept->name);
    EXPECT_EQ(names, (std::vector<std::string>{"guide.pdf", "folder", "other"}));
    EXPECT_EQ(one.items[0]->bytes, 3);

    const DocumentFolder zero = ReadDocumentFolder(Context(), "0");
    EXPECT_TRUE(zero.refused) << "the body signed for folder 1, served for folder 0";
    EXPECT_FALSE(zero.arrived);
    const int requests = m_server.CountRequests("/D");
    EXPECT_FALSE(ReadDocumentFolder(Context(), "a&b").arrived);
    EXPECT_EQ(m_server.CountRequests("/D"), requests) << "no folder id, no request";
}

TEST_F(SignedCatalogueTest, APackageInTheFolderIsJudgedByItsRecordOrItsBytes) {
    const std::string directory = m_folder.SoftDir();
    ASSERT_TRUE(::CreateDirectoryA(directory.c_str(), nullptr));
    const std::string bytes = "MZ the maker's package";
    const std::string digest = LowerHex(Sha256Of(bytes).value_or(""));
    const std::string path = directory + "\\tool.exe";
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    EXPECT_EQ(CheckPackageFile(directory, "tool.exe", digest, static_cast<int64_t>(bytes.size())),
              PackageCheck::Verified) << "no record yet: hashed, then recorded";
    EXPECT_NE(ReadFileBytes(PackageRecordsPath(directory)).find("tool.exe"), std::string::npos);
    EXPECT_EQ(CheckPackageFile(directory, "tool.exe", kDigest, static_cast<int64_t>(bytes.size())),
              PackageCheck::Changed) << "the record names another digest than the catalogue";
    EXPECT_FALSE(PathExists(path)) << "a changed package is removed";
    EXPECT_EQ(ReadFileBytes(PackageRecordsPath(directory)).find("tool.exe"), std::string::npos);
    EXPECT_EQ(CheckPackageFile(directory, "tool.exe", digest, 1), PackageCheck::Missing);
}

}  // namespace
