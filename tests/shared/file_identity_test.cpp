#include "shared/file_identity.h"

#include "shared/unique_handle.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

constexpr char kHelloSha256[] = "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824";
constexpr char kHelloMd5[] = "5d41402abc4b2a76b9719d911017c592";

FileIdentity IdentityNow(const std::string& path) { return IdentityOfPath(path).value_or(FileIdentity{}); }

FILETIME Time(uint64_t value) { return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)}; }

TEST(FileIdentity, TellsTheFileAndItsTimesWithoutReadingIt) {
    TempDir dir;
    const std::string path = dir.Child("a.bin");
    ASSERT_TRUE(WriteFileBytes(path, "hello"));
    const std::optional<FileIdentity> first = IdentityOfPath(path);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->length, 5u);
    EXPECT_NE(first->lastWriteTime, 0u);
    EXPECT_NE(first->changeTime, 0u) << "Wine gives the change time (ctime) too";
    EXPECT_EQ(IdentityNow(path), *first) << "nothing changed";
    EXPECT_FALSE(IdentityOfPath(dir.Child("missing")).has_value());
    EXPECT_FALSE(IdentityOfPath(dir.Path()).has_value()) << "a folder has none";
}

TEST(FileIdentity, AnyWriteOrReplacementChangesIt) {
    TempDir dir;
    const std::string path = dir.Child("a.bin");
    ASSERT_TRUE(WriteFileBytes(path, "hello"));
    const FileIdentity original = IdentityNow(path);

    // The same length, other bytes, and the last-write time set back: the change time still moved.
    ::Sleep(20);
    {
        UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.get(), "HELLO", 5, &written, nullptr));
        const FILETIME lastWrite = Time(original.lastWriteTime);
        ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &lastWrite));
    }
    const FileIdentity rewritten = IdentityNow(path);
    EXPECT_EQ(rewritten.length, original.length);
    EXPECT_EQ(rewritten.lastWriteTime, original.lastWriteTime) << "SetFileTime put it back";
    EXPECT_EQ(rewritten.fileIndex, original.fileIndex);
    EXPECT_NE(rewritten.changeTime, original.changeTime) << "which it cannot do for the change time";
    EXPECT_NE(rewritten, original);

    // Another file moved over it: another file index.
    const std::string other = dir.Child("b.bin");
    ASSERT_TRUE(WriteFileBytes(other, "HELLO"));
    ASSERT_TRUE(::MoveFileExA(other.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
    const FileIdentity replaced = IdentityNow(path);
    EXPECT_NE(replaced.fileIndex, rewritten.fileIndex);
    EXPECT_NE(replaced, rewritten);
}

TEST(FileIdentity, AFileWrittenThroughAHandleThatDeniesWritersIsRenamedThroughIt) {
    // The toolbox's downloads: written, flushed, renamed into place and recorded through one
    // handle, so that no other writer can come between the check and the record.
    TempDir dir;
    const std::string partial = dir.Child("p.exe.partial"), final = dir.Child("p.exe");
    UniqueFileHandle file(::CreateFileA(partial.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), "hello", 5, &written, nullptr));
    ASSERT_TRUE(::FlushFileBuffers(file.get()));
    UniqueFileHandle writer(::CreateFileA(partial.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                                              FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(writer) << "nobody else may write it";
    ASSERT_TRUE(::MoveFileExA(partial.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        << ::GetLastError();
    // Seen under Wine 8: through the handle the file was renamed under, the volume serial
    // reads 0, so the identity is taken by the new name while the handle still denies writers.
    const std::optional<FileIdentity> held = IdentityOfPath(final);
    ASSERT_TRUE(held.has_value());
    file.reset();
    EXPECT_EQ(IdentityNow(final), *held) << "closing the handle changes nothing the record holds";
    EXPECT_EQ(ReadFileBytes(final), "hello");
}

TEST(FileIdentity, ARecordHoldsTheDigestsOfTheFileAsItIs) {
    TempDir dir;
    const std::string path = dir.Child("a.bin");
    ASSERT_TRUE(WriteFileBytes(path, "hello"));
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    const std::optional<FileRecord> record = RecordOpenFile(file.get(), true);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->digests.sha256, kHelloSha256);
    EXPECT_EQ(record->digests.md5, kHelloMd5);
    EXPECT_EQ(record->identity, IdentityNow(path));
    const std::optional<FileDigests> sha256Only = HashOpenFile(file.get(), false);
    ASSERT_TRUE(sha256Only.has_value());
    EXPECT_EQ(sha256Only->sha256, kHelloSha256);
    EXPECT_EQ(sha256Only->md5, "");
}

TEST(FileRecords, AreKeptInOneFileByNameWhateverTheLetterCase) {
    TempDir dir;
    const std::string store = dir.Child("records.txt");
    FileRecords records;
    FileRecord a{FileIdentity{5, 0x1d0a0b0c0d0e0f1, 0x1d0a0b0c0d0e0f2, 0xdeadbeef, 0x123456789abc},
                 FileDigests{kHelloSha256, kHelloMd5}};
    FileRecord b = a;
    b.identity.length = 1ull << 40;
    b.digests.md5.clear();
    records.Set("Setup 安装.exe", a);
    records.Set("tool.exe", b);
    ASSERT_TRUE(records.Save(store));
    EXPECT_FALSE(PathExists(store + ".partial"));

    FileRecords loaded = FileRecords::Load(store);
    EXPECT_EQ(loaded.Count(), 2u);
    const FileRecord* foundA = loaded.Find("SETUP 安装.EXE");
    ASSERT_NE(foundA, nullptr);
    EXPECT_EQ(foundA->identity, a.identity);
    EXPECT_EQ(foundA->digests.sha256, a.digests.sha256);
    EXPECT_EQ(foundA->digests.md5, a.digests.md5);
    const FileRecord* foundB = loaded.Find("tool.exe");
    ASSERT_NE(foundB, nullptr);
    EXPECT_EQ(foundB->identity, b.identity);
    EXPECT_EQ(foundB->digests.md5, "");
    EXPECT_TRUE(loaded.Remove("TOOL.exe"));
    EXPECT_FALSE(loaded.Remove("tool.exe"));
    EXPECT_EQ(loaded.Find("tool.exe"), nullptr);
}

TEST(FileRecords, ALineThatIsNoRecordIsSkippedAndAnUnknownFileGivesNone) {
    TempDir dir;
    const std::string store = dir.Child("records.txt");
    EXPECT_EQ(FileRecords::Load(store).Count(), 0u) << "missing";
    ASSERT_TRUE(WriteFileBytes(store, "something else\n5 1 2 3 4 " + std::string(kHelloSha256) + " - a.exe\n"));
    EXPECT_EQ(FileRecords::Load(store).Count(), 0u) << "no header";
    ASSERT_TRUE(WriteFileBytes(store, "KESTROVA-FILE-RECORDS-1\n"
                                      "5 1 2 3 4 " + std::string(kHelloSha256) + " - a.exe\n"
                                      "5 1 2 3 4 " + std::string(kHelloSha256).substr(1) + " - short.exe\n"
                                      "5 1 2 3 4 " + std::string(kHelloSha256) + " XYZ bad-md5.exe\n"
                                      "5 1 2 3 " + std::string(kHelloSha256) + " - missing-field.exe\n"
                                      "5 1 2 100000000 4 " + std::string(kHelloSha256) + " - wide-volume.exe\n"
                                      "5 1 2 3 4 " + std::string(kHelloSha256) + " -\n"));
    const FileRecords records = FileRecords::Load(store);
    EXPECT_EQ(records.Count(), 1u);
    ASSERT_NE(records.Find("a.exe"), nullptr);
    EXPECT_EQ(records.Find("a.exe")->identity.fileIndex, 4u);
}

}  // namespace
