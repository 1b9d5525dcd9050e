#include "shared/signature.h"

#include "tests/support/signing_key.h"

#include <gtest/gtest.h>

namespace {

TEST(Signature, OnlyASignatureOfTheExactMessageByAListedKeyIsAccepted) {
    const SigningKey current = SigningKey::Generate(), next = SigningKey::Generate(), other = SigningKey::Generate();
    ASSERT_TRUE(current.valid() && next.valid() && other.valid());
    const std::string keys = current.PublicHex() + "," + next.PublicHex(), message = "KESTROVA-TEST\nthe body\r\n";
    const std::string good = current.Sign(message);
    struct Case {
        const char* name;
        std::string keys, message, signature;
        bool accepted;
    } const cases[] = {
        {"CurrentKey", keys, message, good, true},
        {"NextKey", keys, message, next.Sign(message), true},
        {"OneKeyBuilt", current.PublicHex(), message, good, true},
        {"WhiteSpaceAround", keys, message, " " + good + "\r\n", true},
        {"AnotherKey", keys, message, other.Sign(message), false},
        {"MessageChanged", keys, message + " ", good, false},
        {"NoKeys", "", message, good, false},
        {"KeyCutShort", current.PublicHex().substr(2), message, good, false},
        {"NoSignature", keys, message, "", false},
        {"NotBase64", keys, message, "*" + good.substr(1), false},
        {"TooLong", keys, message, good + "AAAA", false},
        {"TooShort", keys, message, good.substr(0, 80), false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSignedByOneOf(c.keys, c.message, c.signature), c.accepted) << c.name;
}

TEST(Signature, ADigestIsSixtyFourLowerCaseHexDigits) {
    const std::string digest(64, 'a');
    EXPECT_TRUE(IsLowerHexSha256(digest));
    EXPECT_TRUE(IsLowerHexSha256("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"));
    EXPECT_FALSE(IsLowerHexSha256(std::string(64, 'A')));
    EXPECT_FALSE(IsLowerHexSha256(std::string(63, 'a')));
    EXPECT_FALSE(IsLowerHexSha256(std::string(65, 'a')));
    EXPECT_FALSE(IsLowerHexSha256(std::string(63, 'a') + "g"));
    EXPECT_FALSE(IsLowerHexSha256(""));
}

}  // namespace
