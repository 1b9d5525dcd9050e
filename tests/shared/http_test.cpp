#include "shared/files.h"
#include "shared/http.h"
#include "shared/unique_handle.h"

#include "tests/support/stream_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

constexpr char kFailurePrefix[] = "curl_easy_perform() failed: ";

constexpr ReplyLimits kShortLimits{0, 0, {5, 2}};

// A hidden message-only window that collects what ProgressCallback reports, posted as
// WM_USER with the record it is about, the way a worker hands it to its window.
class ProgressSink {
public:
    ProgressSink() {
        m_window = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~ProgressSink() { ::DestroyWindow(m_window); }
    TransferProgress For(const void* record) const {
        return [window = m_window, record](int percent) {
            ::PostMessageA(window, WM_USER, static_cast<WPARAM>(percent), reinterpret_cast<LPARAM>(record));
        };
    }
    std::vector<std::pair<WPARAM, LPARAM>> Drain() {
        std::vector<std::pair<WPARAM, LPARAM>> posted;
        MSG message;
        while (::PeekMessageA(&message, m_window, WM_USER, WM_USER, PM_REMOVE)) posted.emplace_back(message.wParam, message.lParam);
        return posted;
    }

private:
    HWND m_window;
};

// A download the way the workers run one: into a transfer context, with progress.
CURLcode DownloadWithProgress(const std::string& url, TransferContext& context, const TransferProgress& progress) {
    UniqueEasyHandle easy(curl_easy_init());
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, WriteFileCallback);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &context);
    curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_PROGRESSFUNCTION, ProgressCallback);
    curl_easy_setopt(easy.get(), CURLOPT_PROGRESSDATA, &progress);
    ApplyTransferLimits(easy.get(), kDefaultTransferLimits);
    return curl_easy_perform(easy.get());
}

int CountLinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    int count = 0;
    for (const auto& line : lines) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
}

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(TestServer::RootUrl().empty()) << "KESTROVA_TEST_SERVER must name the reference server";
    }

    TestServer server{"http"};
    TempDir dir;
};

TEST_F(HttpTest, ErrorPageBodyIsReturnedButNeverStored) {
    const std::string page = "<html><body>not here</body></html>";
    ASSERT_TRUE(server.SetFault("/missing.png", "mode=status&code=404", page));
    EXPECT_EQ(HttpGetString(server.Url("/missing.png"), {}).body, page);

    const std::string path = dir.Child("missing.png");
    EXPECT_FALSE(HttpDownloadIfMissing(server.Url("/missing.png"), path));
    EXPECT_FALSE(PathExists(path));
    EXPECT_FALSE(PathExists(StagingPathOf(path)));
}

TEST_F(HttpTest, BodyArrivesByteForByteIncludingNul) {
    const std::string body("1.0\0\r\n\xD6\xD0", 7);
    ASSERT_TRUE(server.Put("/V", body));
    EXPECT_EQ(HttpGetString(server.Url("/V"), {}).body, body);
}

// An unreachable server gives an empty text and one diagnostic line, a success none.
TEST_F(HttpTest, OnlyAFailedTransferWritesTheDiagnosticLine) {
    ASSERT_TRUE(server.Put("/V", "2.0"));
    for (const bool reachable : {false, true}) {
        StreamCapture errors(stderr);
        const std::string url = reachable ? server.Url("/V") : "http://127.0.0.1:1/V";
        EXPECT_EQ(HttpGetString(url, {}).body, reachable ? "2.0" : "");
        EXPECT_EQ(CountLinesStartingWith(errors.Lines(), kFailurePrefix), reachable ? 0 : 1);
    }
}

// One connection for the session's requests, and no option of one request left for the next.
TEST_F(HttpTest, RequestsOfASessionShareOneConnection) {
    ASSERT_TRUE(server.Put("/V", "2.0"));
    HttpSession session;
    {
        StreamCapture verbose(stderr);
        for (int request = 0; request < 3; ++request) {
            EXPECT_EQ(HttpGetString(server.Url("/V"), {}, {}, &session).body, "2.0");
        }
        EXPECT_EQ(CountLinesStartingWith(verbose.Lines(), "* Re-using existing connection"), 2);
    }
    EXPECT_FALSE(HttpGetString(server.Url("/_gen/2000"), ReplyLimits{0, 1000}, {}, &session).Succeeded());
    EXPECT_EQ(HttpGetString(server.Url("/_gen/2000"), {}, {}, &session).body.size(), 2000u);
}

TEST_F(HttpTest, ProgressIsPostedOnlyWhenTheSizeIsAnnounced) {
    ProgressSink sink;
    ASSERT_TRUE(server.SetFault("/_gen/300000", "mode=nolength&count=1"));
    for (const bool sized : {false, true}) {
        const std::string path = dir.Child(sized ? "sized" : "unsized");
        UniqueStdioFile file(std::fopen(path.c_str(), "wb"));
        TransferContext context{file.get()};
        EXPECT_EQ(DownloadWithProgress(server.Url("/_gen/300000"), context, sink.For(&context)), CURLE_OK);
        file.reset();
        EXPECT_EQ(ReadFileBytes(path).size(), 300000u);
        const auto posted = sink.Drain();
        ASSERT_EQ(posted.empty(), !sized);
        WPARAM previous = 0;
        for (const auto& [percent, data] : posted) {
            EXPECT_GE(percent, previous);
            EXPECT_LE(percent, 100u);
            EXPECT_EQ(data, reinterpret_cast<LPARAM>(&context));
            previous = percent;
        }
        if (sized) {
            EXPECT_EQ(posted.back().first, 100u);
        }
    }
}

TEST_F(HttpTest, PercentagesAreTruncatedNotRounded) {
    ProgressSink sink;
    int record = 0;
    TransferProgress progress = sink.For(&record);
    EXPECT_EQ(ProgressCallback(&progress, 200.0, 50.0, 0, 0), 0);
    EXPECT_EQ(ProgressCallback(&progress, 200.0, 199.0, 0, 0), 0);
    EXPECT_EQ(ProgressCallback(&progress, 0.05, 10.0, 0, 0), 0);  // total not yet known
    const auto posted = sink.Drain();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].first, 25u);
    EXPECT_EQ(posted[1].first, 99u);
    EXPECT_EQ(posted[1].second, reinterpret_cast<LPARAM>(&record));
}

TEST_F(HttpTest, WriteFileCallbackRefusesAMissingFileAndBytesBeyondTheCap) {
    TransferContext context;  // no output file: the transfer must fail, not crash
    char data[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(WriteFileCallback(data, 1, 4, &context), 0u);
    EXPECT_EQ(WriteFileCallback(data, 1, 4, nullptr), 0u);
    UniqueStdioFile file(std::fopen(dir.Child("capped").c_str(), "wb"));
    TransferContext capped{file.get(), 6};
    EXPECT_EQ(WriteFileCallback(data, 2, 2, &capped), 2u);
    EXPECT_EQ(WriteFileCallback(data, 1, 4, &capped), 0u);
    file.reset();
    EXPECT_EQ(ReadFileBytes(dir.Child("capped")), "abcd");
}

TEST_F(HttpTest, AFileOf1001BytesIsKeptAndOneOfExactly1000FetchedAgain) {
    const std::string fresh(2000, 'N');
    ASSERT_TRUE(server.Put("/icon.png", fresh));
    const std::string path = dir.Child("icon.png");
    for (const size_t size : {1001u, 1000u}) {
        const std::string cached(size, 'o');
        ASSERT_TRUE(WriteFileBytes(path, cached));
        EXPECT_TRUE(HttpDownloadIfMissing(server.Url("/icon.png"), path));
        EXPECT_EQ(server.CountRequests("/icon.png"), size > 1000 ? 0 : 1);
        EXPECT_EQ(ReadFileBytes(path), size > 1000 ? cached : fresh);
    }
}

TEST_F(HttpTest, DownloadIntoAFileThatCannotBeCreatedFails) {
    ASSERT_TRUE(server.Put("/icon.png", "png"));
    EXPECT_FALSE(HttpDownloadIfMissing(server.Url("/icon.png"), dir.Child("no-such-dir\\icon.png")));
    EXPECT_EQ(server.CountRequests("/icon.png"), 0);
}

TEST_F(HttpTest, DroppedConnectionIsAFailedDownload) {
    ASSERT_TRUE(server.SetFault("/_gen/100000", "mode=drop&after=5000"));
    const std::string path = dir.Child("partial.bin");
    EXPECT_FALSE(HttpDownloadIfMissing(server.Url("/_gen/100000"), path));
    EXPECT_FALSE(PathExists(path)) << "a partial file never takes the final name";
    EXPECT_FALSE(PathExists(StagingPathOf(path)));
}

TEST_F(HttpTest, StalledServerEndsWithinTheLimit) {
    ASSERT_TRUE(server.SetFault("/V", "mode=stall&seconds=60"));
    ASSERT_TRUE(server.SetFault("/icon.png", "mode=stall&seconds=60"));
    const auto start = std::chrono::steady_clock::now();
    StreamCapture errors(stderr);
    EXPECT_EQ(HttpGetString(server.Url("/V"), kShortLimits).body, "");
    EXPECT_EQ(CountLinesStartingWith(errors.Lines(), kFailurePrefix), 1);
    EXPECT_FALSE(HttpDownloadIfMissing(server.Url("/icon.png"), dir.Child("icon.png"), nullptr, kShortLimits));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(15));
}

TEST_F(HttpTest, SlowButMovingTransferIsNotCutOff) {
    ASSERT_TRUE(server.SetFault("/_gen/8000", "mode=trickle&chunk=1000&delay=0.5"));
    EXPECT_EQ(HttpGetString(server.Url("/_gen/8000"), kShortLimits).body.size(), 8000u);
}

}  // namespace

namespace {

// Replies kept in memory or in a file: a trickle is given up at the total limit; a reply
// over the cap, announced or not, and an error page are failures, not content.
TEST_F(HttpTest, TransfersKeepTheirReplyLimits) {
    struct Case {
        const char* path;
        const char* fault;
        long status;  // expected; 0 when none is read
        bool succeeds;
    } cases[] = {
        {"/_gen/100", nullptr, 200, true},
        {"/_gen/2000", nullptr, 200, false},
        {"/_gen/2001", "mode=nolength&count=2", 200, false},
        {"/_gen/101", "mode=status&code=404&count=2", 404, false},
        {"/_gen/102", "mode=trickle&chunk=1&delay=1&count=2", 200, false},
    };
    for (const Case& c : cases) {
        if (c.fault != nullptr) {
            ASSERT_TRUE(server.SetFault(c.path, c.fault));
        }
        const auto start = std::chrono::steady_clock::now();
        const HttpReply reply = HttpGetString(server.Url(c.path), ReplyLimits{2, 1000});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6)) << c.path;
        EXPECT_EQ(reply.Succeeded(), c.succeeds) << c.path << ": " << DescribeTransfer(reply.result, reply.status);
        EXPECT_EQ(reply.status, c.status) << c.path;
        if (c.succeeds) {
            EXPECT_EQ(reply.body.size(), 100u);
        }
        const std::string path = dir.Child(c.path + 6);
        EXPECT_EQ(HttpDownloadIfMissing(server.Url(c.path), path, nullptr, ReplyLimits{2, 1000}), c.succeeds) << c.path;
        EXPECT_EQ(PathExists(path), c.succeeds) << c.path;
    }
}

TEST(MinimumAverageSpeed, CountsOnlyAfterTheGraceTime) {
    const MinimumAverageSpeed minimum{1024, 60};
    EXPECT_FALSE(IsBelowAverageSpeed(minimum, 0, 59));
    EXPECT_TRUE(IsBelowAverageSpeed(minimum, 61 * 1024 - 1, 61));
    EXPECT_FALSE(IsBelowAverageSpeed(minimum, 61 * 1024, 61));
}

}  // namespace
