#include "shared/sha256.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

// Whichever way the hasher computes (the SHA extensions or CNG), it agrees with CNG at
// every padding boundary and however the bytes are cut into pieces.
TEST(Sha256Hasher, AgreesWithCngForEveryLengthAndCut) {
    std::string bytes(70000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    for (size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000, 65537, 70000}) {
        Sha256Hasher hasher;
        for (size_t at = 0, piece = 1; at < length; at += piece, piece = piece * 3 % 101 + 1) {
            hasher.Add(bytes.data() + at, std::min(piece, length - at));
        }
        CngHasher reference(BCRYPT_SHA256_ALGORITHM);
        reference.Add(bytes.data(), length);
        EXPECT_EQ(hasher.Finish(), reference.Finish()) << length;
    }
    EXPECT_EQ(LowerHex(Sha256Of("abc").value_or("")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.Child("abc"), "abc"));
    EXPECT_EQ(FileSha256(dir.Child("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
