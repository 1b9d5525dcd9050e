#include "tests/support/test_server.h"

#include "shared/http.h"

#include <rapidjson/document.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>

TestServer::TestServer(const std::string& name) : m_namespace(name + "-" + std::to_string(::GetCurrentProcessId())) {
    Control("reset", "", nullptr, nullptr);
}

TestServer::TestServer(const std::string& name, ExactName) : m_namespace(name) {
    Control("reset", "", nullptr, nullptr);
}

TestServer::~TestServer() { Control("reset", "", nullptr, nullptr); }

std::string TestServer::RootUrl() {
    const char* url = std::getenv("KESTROVA_TEST_SERVER");
    return url ? url : "";
}

std::string TestServer::BaseUrl() const { return RootUrl() + "/t/" + m_namespace; }

std::string TestServer::Url(const std::string& path) const { return BaseUrl() + path; }

bool TestServer::Control(const std::string& action, const std::string& query, const std::string* body,
                         std::string* reply) const {
    UniqueEasyHandle easy(curl_easy_init());
    if (!easy) return false;
    const std::string url = RootUrl() + "/_ctl/" + action + "?ns=" + m_namespace + query;
    std::string received;
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, WriteStringCallback);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(easy.get(), CURLOPT_TIMEOUT, 10L);
    if (body != nullptr) {
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(body->size()));
    }
    long status = 0;
    const bool ok = curl_easy_perform(easy.get()) == CURLE_OK &&
                    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200;
    if (reply) *reply = received;
    return ok;
}

bool TestServer::SetFault(const std::string& route, const std::string& params, const std::string& body) const {
    return Control("fault", "&route=" + route + "&" + params, &body, nullptr);
}

bool TestServer::Put(const std::string& path, const std::string& body) const {
    return Control("put", "&path=" + path, &body, nullptr);
}

bool TestServer::ServeCertificate(const std::string& name) const {
    const std::string none;
    return Control("tls", "&name=" + name, &none, nullptr);
}

std::vector<std::string> TestServer::Requests() const {
    std::vector<std::string> requests;
    std::string reply;
    if (!Control("log", "", nullptr, &reply)) return requests;
    rapidjson::Document log;
    log.Parse(reply.c_str());
    if (!log.IsArray()) return requests;
    for (const auto& entry : log.GetArray()) {
        std::string request = entry["path"].GetString();
        const std::string query = entry.HasMember("query") ? entry["query"].GetString() : "";
        if (!query.empty()) request += "?" + query;
        requests.push_back(request);
    }
    return requests;
}

int TestServer::CountRequests(const std::string& path) const {
    const auto requests = Requests();
    return static_cast<int>(std::count_if(requests.begin(), requests.end(), [&](const std::string& r) {
        return r == path || r.rfind(path + "?", 0) == 0;
    }));
}

std::vector<long long> TestServer::BytesSentFor(const std::string& path) const {
    std::vector<long long> sent;
    std::string reply;
    if (!Control("log", "", nullptr, &reply)) return sent;
    rapidjson::Document log;
    log.Parse(reply.c_str());
    if (!log.IsArray()) return sent;
    for (const auto& entry : log.GetArray()) {
        if (path == entry["path"].GetString()) sent.push_back(entry["sent"].GetInt64());
    }
    return sent;
}

std::vector<std::string> TestServer::RangesOf(const std::string& path) const {
    std::vector<std::string> ranges;
    std::string reply;
    if (!Control("log", "", nullptr, &reply)) return ranges;
    rapidjson::Document log;
    log.Parse(reply.c_str());
    if (!log.IsArray()) return ranges;
    for (const auto& entry : log.GetArray()) {
        if (path != entry["path"].GetString()) continue;
        const bool sent = entry.HasMember("range") && entry["range"].IsString();
        ranges.push_back(sent ? entry["range"].GetString() : "");
    }
    return ranges;
}
