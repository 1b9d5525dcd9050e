#include "updater/update_signature.h"

#include "tests/updater/signing_key.h"

#include <gtest/gtest.h>

namespace {

TEST(UpdateSignature, OnlyASignatureOfTheExactMessageByAListedKeyIsAccepted) {
    EXPECT_EQ(SignedUpdateMessage("2.0", "[]\r\n"), "KESTROVA-UPDATE-1\n2.0\n[]\r\n");
    const SigningKey current = SigningKey::Generate(), next = SigningKey::Generate(), other = SigningKey::Generate();
    ASSERT_TRUE(current.valid() && next.valid() && other.valid());
    const std::string keys = current.PublicHex() + "," + next.PublicHex(), list = "[{\"id\":\"1\"}]\n";
    const std::string message = SignedUpdateMessage("2.0", list), good = current.SignUpdate("2.0", list);
    struct Case {
        const char* name;
        std::string keys, message, signature;
        bool accepted;
    } const cases[] = {
        {"CurrentKey", keys, message, good, true},
        {"NextKey", keys, message, next.SignUpdate("2.0", list), true},
        {"OneKeyBuilt", current.PublicHex(), message, good, true},
        {"WhiteSpaceAround", keys, message, " " + good + "\r\n", true},
        {"AnotherKey", keys, message, other.SignUpdate("2.0", list), false},
        {"ListChanged", keys, SignedUpdateMessage("2.0", list + " "), good, false},
        {"OtherVersion", keys, SignedUpdateMessage("2.1", list), good, false},
        {"NoKeys", "", message, good, false},
        {"KeyCutShort", current.PublicHex().substr(2), message, good, false},
        {"NoSignature", keys, message, "", false},
        {"NotBase64", keys, message, "*" + good.substr(1), false},
        {"TooLong", keys, message, good + "AAAA", false},
        {"TooShort", keys, message, good.substr(0, 80), false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSignedByOneOf(c.keys, c.message, c.signature), c.accepted) << c.name;
}

}  // namespace
