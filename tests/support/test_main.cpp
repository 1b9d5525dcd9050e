// Entry of every test program: libcurl's global state lives for the whole run, as in the programs.
#include <curl/curl.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_ALL);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    curl_global_cleanup();
    return result;
}
