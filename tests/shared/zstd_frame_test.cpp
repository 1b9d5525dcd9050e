#include "shared/zstd_frame.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <cstdlib>

namespace {

// A file of the publishing tool's set (scripts/test) by the path of its URL.
std::string Published(const rapidjson::Value& source) {
    const char* set = std::getenv("KESTROVA_TEST_DELTA_UPDATE");
    std::string path = source["url"].GetString();
    path = path.substr(path.find("/files/"));
    std::replace(path.begin(), path.end(), '/', '\\');
    return ReadFileBytes(std::string(set != nullptr ? set : "") + path);
}

rapidjson::Document Release(int number) {
    rapidjson::Document list;
    const char* set = std::getenv("KESTROVA_TEST_DELTA_UPDATE");
    list.Parse(ReadFileBytes(std::string(set != nullptr ? set : "") + "\\releases\\00000" + std::to_string(number) +
                             "\\update.json")
                   .c_str());
    return list;
}

struct DecodeCase {
    const char* name;
    bool patch;          // the patch from the first release (listed newest first), else the compressed file
    bool withBase;       // the first release's file as the prefix
    long limitShortBy;   // the output limit below the file's length
    const char* suffix;  // bytes sent after the frame
    size_t cutBy;        // bytes of the frame not sent
    bool sinkRefuses;
    const char* failure;  // null: decodes to the third release's file
};

class FrameDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(FrameDecoding, DecodesOneWholeFrameWithinItsLimitOrSaysWhy) {
    const DecodeCase& c = GetParam();
    rapidjson::Document first = Release(1), third = Release(3);
    ASSERT_TRUE(first.IsArray() && third.IsArray()) << "scripts/test names the set in KESTROVA_TEST_DELTA_UPDATE";
    const std::string base = Published(first[0]), expected = Published(third[0]);
    std::string frame = Published(c.patch ? third[0]["patches"][1] : third[0]["zst"]);
    ASSERT_FALSE(base.empty() || expected.empty() || frame.empty());
    frame = frame.substr(0, frame.size() - c.cutBy) + c.suffix;

    ZstdFrameDecoder decoder(expected.size() - c.limitShortBy, c.withBase ? std::string_view(base) : std::string_view());
    std::string decoded;
    const ZstdSink sink = [&](const char* data, size_t size) {
        decoded.append(data, size);
        return !c.sinkRefuses;
    };
    // In uneven pieces, as a transfer brings them.
    bool fed = true;
    for (size_t at = 0, piece = 1; fed && at < frame.size(); at += piece, piece = piece * 7 % 65521 + 1) {
        fed = decoder.Feed(frame.data() + at, std::min(piece, frame.size() - at), sink);
    }
    const bool finished = decoder.Finish();
    if (c.failure == nullptr) {
        EXPECT_TRUE(fed && finished) << decoder.Failure();
        EXPECT_TRUE(decoded == expected);
        EXPECT_EQ(decoder.Decoded(), expected.size());
    } else {
        EXPECT_FALSE(finished);
        ASSERT_NE(decoder.Failure(), nullptr);
        EXPECT_NE(std::string(decoder.Failure()).find(c.failure), std::string::npos) << decoder.Failure();
        EXPECT_LE(decoded.size(), expected.size() - c.limitShortBy);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameDecoding,
    ::testing::Values(DecodeCase{"CompressedFile", false, false, 0, "", 0, false, nullptr},
                      DecodeCase{"PatchWithItsBase", true, true, 0, "", 0, false, nullptr},
                      DecodeCase{"PatchWithoutItsBase", true, false, 0, "", 0, false, ""},
                      DecodeCase{"OneByteOverTheLimit", false, false, 1, "", 0, false, "more bytes than the file"},
                      DecodeCase{"BytesAfterTheFrame", false, false, 0, "x", 0, false, "bytes follow"},
                      DecodeCase{"FrameCutShort", false, false, 0, "", 1, false, "ends early"},
                      DecodeCase{"SinkRefuses", false, false, 0, "", 0, true, "cannot be written"}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

}  // namespace
