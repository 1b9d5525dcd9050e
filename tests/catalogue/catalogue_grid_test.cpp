// The software and document grids as the server's replies shape them, the names of their
// controls, and the requests that fetch them.
#include "tests/catalogue/catalogue_fixture.h"
#include "toolbox/catalogue/catalogue_loads.h"
#include "toolbox/catalogue/catalogue_reply.h"
#include "toolbox/catalogue/document_catalogue.h"
#include "toolbox/catalogue/software_catalogue.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

// Read before any test can build a document list.
const int kDocumentNumberAtStart = LastDocumentControlNumber();

std::string SoftwareEntryJson(const std::string& name) {
    return "{\"name\":\"" + name + "\",\"viewname\":\"" + name + " viewer\",\"downname\":\"" + name +
           ".exe\",\"ver\":\"1.0\",\"iocn\":\"\",\"url\":\"\",\"Score\":4}";
}

std::string DocumentItemJson(int index) {
    return "{\"name\":\"doc" + std::to_string(index) + ".pdf\",\"type\":1,\"url\":\"/docs/doc" +
           std::to_string(index) + ".pdf\",\"id\":\"" + std::to_string(100 + index) + "\"}";
}

template <typename MakeElement>
std::string CatalogueJson(int count, MakeElement makeElement) {
    std::string json = "{\"data\":[";
    for (int i = 0; i < count; ++i) json += (i ? "," : "") + makeElement(i);
    return json + "]}";
}

std::string SoftwareCatalogueJson(int count, const std::string& stem = "grid") {
    return CatalogueJson(count, [&](int i) { return SoftwareEntryJson(stem + std::to_string(i)); });
}

// Class names of the cells, row by row.
std::vector<std::vector<std::string>> GridShape(CContainerUI& list) {
    std::vector<std::vector<std::string>> shape;
    for (int r = 0; r < list.GetCount(); ++r) {
        auto* row = static_cast<CContainerUI*>(list.GetItemAt(r));
        std::vector<std::string> cells;
        for (int c = 0; c < row->GetCount(); ++c) cells.push_back(row->GetItemAt(c)->GetClass());
        shape.push_back(cells);
    }
    return shape;
}

const std::string S = "SoftListItem";
const std::string F = "FileListItem";
const std::string E = "Control";

class SoftwareGrid : public CatalogueLoadTest {
protected:
    SoftwareGrid() : CatalogueLoadTest("softgrid") {}
};

TEST_F(SoftwareGrid, ThreeCellsToARowWithATrailingRowOfEmptyCells) {
    LoadReply(SoftwareCatalogueJson(0));
    EXPECT_EQ(GridShape(m_list), (std::vector<std::vector<std::string>>{{E, E, E}}));
    EXPECT_EQ(m_rowCounter, 0);

    LoadReply(SoftwareCatalogueJson(3));
    EXPECT_EQ(GridShape(m_list), (std::vector<std::vector<std::string>>{{S, S, S}, {E, E, E}}));

    LoadReply(SoftwareCatalogueJson(4));
    EXPECT_EQ(GridShape(m_list), (std::vector<std::vector<std::string>>{{S, S, S}, {S, E, E}}));
    for (int r = 0; r < m_list.GetCount(); ++r) {
        auto* row = static_cast<CContainerUI*>(m_list.GetItemAt(r));
        EXPECT_STREQ(row->GetClass(), "HorizontalLayout");
        EXPECT_EQ(row->GetFixedHeight(), 100);
        EXPECT_EQ(row->GetChildPadding(), 4);
    }
    std::vector<std::string> names;
    for (DuiSoft* record : SoftwareRecords(m_list)) names.push_back(record->name);
    EXPECT_EQ(names, (std::vector<std::string>{"grid0", "grid1", "grid2", "grid3"}));
}

TEST_F(SoftwareGrid, ControlNamesContinueAcrossReloads) {
    const long recordsBefore = LiveDuiSoftCount();
    LoadReply(SoftwareCatalogueJson(3));
    std::vector<std::string> first;
    for (CControlUI* cell : CellsOf(&m_list, "SoftListItem")) first.push_back(cell->GetName().GetData());
    EXPECT_EQ(first, (std::vector<std::string>{"rowIndex1", "rowIndex2", "rowIndex3"}));

    LoadReply(SoftwareCatalogueJson(3));
    const auto second = CellsOf(&m_list, "SoftListItem");
    ASSERT_EQ(second.size(), 3u);
    EXPECT_STREQ(second[0]->GetName().GetData(), "rowIndex4");
    EXPECT_STREQ(second[2]->GetName().GetData(), "rowIndex6");
    EXPECT_EQ(m_rowCounter, 6);
    // The first load's records went with its rows.
    EXPECT_EQ(LiveDuiSoftCount(), recordsBefore + 3);
}

TEST_F(SoftwareGrid, RequestCarriesTheCodeAndARandomNumber) {
    LoadReply(SoftwareCatalogueJson(1));
    const auto requests = m_server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(std::regex_match(requests[0], std::regex(R"(/F\?tax=91110000TEST&id=[0-9]+)"))) << requests[0];
}

TEST_F(SoftwareGrid, AReplyThatIsNoCatalogueLeavesNoRowsAndSaysSo) {
    // One nests deeper than any stack a recursive parser could use; the last is a
    // catalogue beyond the size a reply may have.
    const std::string deep = "{\"data\":" + std::string(100000, '[');
    const std::string huge = SoftwareCatalogueJson(2) + std::string(kCatalogueReplyMaxBytes, ' ');
    for (const std::string& reply : std::vector<std::string>{"", "not json", "[1,2,3]", "{\"data\":5}",
                                                             "{\"rows\":[]}", "{\"data\":[{}", deep, huge}) {
        LoadReply(SoftwareCatalogueJson(2));
        ASSERT_EQ(m_list.GetCount(), 1);
        LoadReply(reply);
        EXPECT_EQ(LoadNoticeText(&m_list), kLoadFailedText) << reply.substr(0, 40);
    }
    ASSERT_TRUE(m_server.SetFault("/F", "mode=status&code=404", "<html><body>missing</body></html>"));
    ASSERT_TRUE(LoadSoftwareAndWait(&m_list, m_install.Context(m_server.BaseUrl()), m_rowCounter));
    EXPECT_EQ(LoadNoticeText(&m_list), kLoadFailedText);
}

TEST_F(SoftwareGrid, MembersMissingOrOfAnotherTypeReadAsEmpty) {
    // "昞" is encoded in code page 936 with a trail byte of '\\'; "\u4e2d" is an escaped "中".
    LoadReply(u8R"({"data":[
        {"name":5,"Score":3.5,"size":["x"],"ver":"2.1"},
        "not an object",
        {"name":"full","viewname":"昞 \u4e2d","content":"text","size":"12 MB","date":"2024-05-01",
         "url":"http://host/p.exe","Score":4,"downname":"p.exe","ver":"1.2","execname":"A:B","oldver":"C:D"}
    ]})");
    const auto records = SoftwareRecords(m_list);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]->name, "");
    EXPECT_EQ(records[0]->viewName, "");
    EXPECT_EQ(records[0]->size, "");
    EXPECT_FLOAT_EQ(records[0]->score, 3.5f);
    EXPECT_EQ(records[0]->ver, "2.1");
    EXPECT_EQ(records[0]->state.load(), NotDownloaded);
    EXPECT_EQ(records[1]->name, "");
    EXPECT_FLOAT_EQ(records[1]->score, 0.0f);

    const DuiSoft& full = *records[2];
    EXPECT_EQ(full.viewName, "\x95\x5c \xd6\xd0");
    EXPECT_EQ(full.content, "text");
    EXPECT_EQ(full.size, "12 MB");
    EXPECT_EQ(full.date, "2024-05-01");
    EXPECT_EQ(full.url, "http://host/p.exe");
    EXPECT_FLOAT_EQ(full.score, 4.0f);
    EXPECT_EQ(full.downName, "p.exe");
    EXPECT_EQ(full.execName, "A:B");
    EXPECT_EQ(full.oldVer, "C:D");
    EXPECT_EQ(full.reserved1, 0);
    EXPECT_EQ(full.reserved2, "");
}

TEST_F(SoftwareGrid, ANullListIsLeftAlone) {
    ASSERT_TRUE(LoadSoftwareAndWait(nullptr, m_install.Context(m_server.BaseUrl()), m_rowCounter));
    EXPECT_EQ(m_server.CountRequests("/F"), 0);
    EXPECT_EQ(m_rowCounter, 0);
}

class DocumentGrid : public CatalogueLoadTest {
protected:
    DocumentGrid() : CatalogueLoadTest("docgrid") {}
};

TEST_F(DocumentGrid, SixCellsToARowWithATrailingRowOfEmptyCells) {
    LoadFolder("0", CatalogueJson(6, DocumentItemJson));
    EXPECT_EQ(GridShape(m_list), (std::vector<std::vector<std::string>>{{F, F, F, F, F, F}, {E, E, E, E, E, E}}));

    LoadFolder("7", CatalogueJson(7, DocumentItemJson));
    EXPECT_EQ(GridShape(m_list), (std::vector<std::vector<std::string>>{{F, F, F, F, F, F}, {F, E, E, E, E, E}}));
    for (int r = 0; r < m_list.GetCount(); ++r) {
        auto* row = static_cast<CContainerUI*>(m_list.GetItemAt(r));
        EXPECT_STREQ(row->GetClass(), "HorizontalLayout");
        EXPECT_EQ(row->GetFixedHeight(), 140);
        EXPECT_EQ(row->GetChildPadding(), 0);
    }
    const auto cells = CellsOf(&m_list, "FileListItem");
    ASSERT_EQ(cells.size(), 7u);
    const DuiFile* seventh = static_cast<FileListControl*>(cells[6])->GetFile();
    EXPECT_EQ(seventh->name, "doc6.pdf");
    EXPECT_EQ(seventh->id, "106");
    EXPECT_EQ(seventh->type, 1);
    EXPECT_EQ(seventh->url, "/docs/doc6.pdf");
}

TEST_F(DocumentGrid, ControlNumbersStartAfterOneAndNeverRepeat) {
    EXPECT_EQ(kDocumentNumberAtStart, 1);  // so the first control of a run is "fileIndex2"
    const int before = LastDocumentControlNumber();
    LoadFolder("0", CatalogueJson(2, DocumentItemJson));
    auto cells = CellsOf(&m_list, "FileListItem");
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(std::string(cells[0]->GetName().GetData()), "fileIndex" + std::to_string(before + 1));
    EXPECT_EQ(std::string(cells[1]->GetName().GetData()), "fileIndex" + std::to_string(before + 2));

    LoadFolder("0", CatalogueJson(1, DocumentItemJson));
    cells = CellsOf(&m_list, "FileListItem");
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(std::string(cells[0]->GetName().GetData()), "fileIndex" + std::to_string(before + 3));
}

TEST_F(DocumentGrid, RootRequestNamesFolderZeroAndARandomNumber) {
    LoadFolder("0", CatalogueJson(1, DocumentItemJson));
    const auto requests = m_server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(std::regex_match(requests[0], std::regex(R"(/D\?tax=91110000TEST&id=0&rid[0-9]+)"))) << requests[0];
}

TEST_F(DocumentGrid, TypesAreKeptAndAMissingTypeIsAFolder) {
    LoadFolder("3", R"({"data":[{"name":"a","id":"1"},{"name":"b","type":10,"id":"2","url":""},
                           {"name":"c","type":2},{"name":"d","type":"1"},{"name":7,"type":1,"url":3}]})");
    const auto cells = CellsOf(&m_list, "FileListItem");
    ASSERT_EQ(cells.size(), 5u);
    std::vector<int> types;
    for (CControlUI* cell : cells) types.push_back(static_cast<FileListControl*>(cell)->GetFile()->type);
    EXPECT_EQ(types, (std::vector<int>{0, 10, 2, 0, 1}));
    const DuiFile* last = static_cast<FileListControl*>(cells[4])->GetFile();
    EXPECT_EQ(last->name, "");
    EXPECT_EQ(last->url, "");
    EXPECT_EQ(last->id, "");
}

TEST_F(DocumentGrid, AFolderItemLoadsItsFolderInPlace) {
    ASSERT_TRUE(m_server.Put("/documents/12.json", CatalogueJson(2, DocumentItemJson)));
    LoadFolder("0", R"({"data":[{"name":"Forms","type":10,"url":"","id":"12"}]})");
    const auto folders = CellsOf(&m_list, "FileListItem");
    ASSERT_EQ(folders.size(), 1u);
    // As the window does on a folder click: the id comes from a record of the list being emptied.
    ASSERT_TRUE(LoadDocumentsAndWait(&m_list, m_install.Context(m_server.BaseUrl()),
                                     static_cast<FileListControl*>(folders[0])->GetFile()->id));
    const auto items = CellsOf(&m_list, "FileListItem");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(static_cast<FileListControl*>(items[1])->GetFile()->name, "doc1.pdf");
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("&id=12&rid"), std::string::npos) << requests[1];
}

TEST_F(DocumentGrid, AReplyThatIsNoCatalogueLeavesNoRowsAndSaysSo) {
    LoadFolder("0", CatalogueJson(1, DocumentItemJson));
    ASSERT_EQ(m_list.GetCount(), 1);
    // The server answers 404.
    ASSERT_TRUE(LoadDocumentsAndWait(&m_list, m_install.Context(m_server.BaseUrl()), "missing"));
    EXPECT_EQ(LoadNoticeText(&m_list), kLoadFailedText);
    LoadFolder("0", "{\"data\":{}}");
    EXPECT_EQ(LoadNoticeText(&m_list), kLoadFailedText);
    LoadFolder("0", "{\"data\":" + std::string(100000, '['));
    EXPECT_EQ(LoadNoticeText(&m_list), kLoadFailedText);
}

}  // namespace
