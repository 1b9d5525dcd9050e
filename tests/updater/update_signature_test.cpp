#include "updater/update_signature.h"

#include "tests/updater/update_signing.h"

#include <gtest/gtest.h>

namespace {

// The check itself is the base layer's (tests/shared/signature_test.cpp); here, what the
// updater has signed: the version bound to the list's bytes.
TEST(UpdateSignature, TheSignatureCoversTheVersionAndTheExactList) {
    EXPECT_EQ(SignedUpdateMessage("2.0", "[]\r\n"), "KESTROVA-UPDATE-1\n2.0\n[]\r\n");
    const SigningKey current = SigningKey::Generate(), next = SigningKey::Generate();
    ASSERT_TRUE(current.valid() && next.valid());
    const std::string keys = current.PublicHex() + "," + next.PublicHex(), list = "[{\"id\":\"1\"}]\n";
    const std::string good = SignUpdate(current, "2.0", list);
    EXPECT_TRUE(IsSignedByOneOf(keys, SignedUpdateMessage("2.0", list), good));
    EXPECT_TRUE(IsSignedByOneOf(keys, SignedUpdateMessage("2.0", list), SignUpdate(next, "2.0", list)));
    EXPECT_FALSE(IsSignedByOneOf(keys, SignedUpdateMessage("2.0", list + " "), good)) << "list changed";
    EXPECT_FALSE(IsSignedByOneOf(keys, SignedUpdateMessage("2.1", list), good)) << "other version";
}

TEST(UpdateSignature, EveryEntryMustNameItsSha256) {
    UpdateEntry named;
    named.sha256 = std::string(64, 'e');
    UpdateEntry unnamed;
    EXPECT_TRUE(EveryEntryHasSha256({named, named}));
    EXPECT_FALSE(EveryEntryHasSha256({named, unnamed}));
}

}  // namespace
