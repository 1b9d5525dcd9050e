#pragma once
// One namespace of the reference maker server, so that tests running side by side
// keep their own fault settings, overlay files and request log.

#include <string>
#include <vector>

class TestServer {
public:
    // The namespace is derived from name and the process id; it is reset on both ends.
    explicit TestServer(const std::string& name);
    // The namespace that the programs built for end-to-end tests talk to: their server
    // base URL is the server root + "/t/" + kEndToEndNamespace (KESTROVA_SERVER_URL of
    // the test build). Test programs using it hold the ctest lock "end-to-end-namespace".
    static constexpr const char* kEndToEndNamespace = "e2e";
    struct ExactName {};
    TestServer(const std::string& name, ExactName);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // The server's root URL from KESTROVA_TEST_SERVER; empty when no server was started.
    static std::string RootUrl();

    // The URL of path as seen through this namespace.
    std::string Url(const std::string& path) const;
    std::string BaseUrl() const;

    // params: "mode=stall&seconds=30" and the like; body is sent for "status" and "body".
    bool SetFault(const std::string& route, const std::string& params, const std::string& body = "") const;
    bool Put(const std::string& path, const std::string& body) const;
    // The certificate the server's TLS port shows from now on, to every namespace:
    // "good", "expired", "wronghost" or "otherca" (tools/test_certificates.py). Test
    // programs calling it hold the ctest lock "tls-certificate".
    bool ServeCertificate(const std::string& name) const;
    // "path" or "path?query" of every request this namespace received, in order.
    std::vector<std::string> Requests() const;
    int CountRequests(const std::string& path) const;
    // The Range header of each request for exactly that path, in order; "" where none was sent.
    std::vector<std::string> RangesOf(const std::string& path) const;
    // The body bytes the server sent for each request for exactly that path, in order.
    std::vector<long long> BytesSentFor(const std::string& path) const;

private:
    bool Control(const std::string& action, const std::string& query, const std::string* body,
                 std::string* reply) const;
    std::string m_namespace;
};
