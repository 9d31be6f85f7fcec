// Windows's own ways with files, where POSIX's are tested elsewhere: attributes kept through a
// replacement, a file held open by another program, devices named as files, links.
#include <gtest/gtest.h>
#include <windows.h>

#include "TestBytes.h"
#include "storage/AtomicFile.h"
#include "storage/BackupStore.h"
#include "storage/PathBytes.h"

using namespace krellon;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Text(std::string_view s) {
    return {s.begin(), s.end()};
}

DWORD AttributesOf(const fs::path& path) {
    return ::GetFileAttributesW(path.c_str());
}

class WindowsFilesTest : public ::testing::Test {
protected:
    TempFolder folder;
    TempFolder storeFolder;
    BackupStore store{storeFolder.path()};
};

}  // namespace

TEST_F(WindowsFilesTest, AReplacementKeepsTheAttributesAndTakesLongNames) {
    folder.write("shared.img", Text("old"));
    ASSERT_TRUE(::SetFileAttributesW((folder / "shared.img").c_str(),
                                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(WriteFileAtomically(folder / "shared.img", Text("new"), {&store, "Save"}).ok());
    EXPECT_EQ(folder.read("shared.img"), Text("new"));
    EXPECT_TRUE(AttributesOf(folder / "shared.img") & FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(WriteFileAtomically(folder / "fresh.bds", Text("x")).ok());
    EXPECT_FALSE(AttributesOf(folder / "fresh.bds") & FILE_ATTRIBUTE_HIDDEN);
    ASSERT_EQ(store.list().size(), 1u);

    // A name as long as the system allows (255 characters) is replaced, leaving nothing else.
    const std::string name = std::string(251, 'n') + ".bmp";
    ASSERT_TRUE(WriteFileAtomically(folder / name, Text("one")).ok());
    ASSERT_TRUE(WriteFileAtomically(folder / name, Text("two")).ok());
    EXPECT_EQ(folder.read(name), Text("two"));
    EXPECT_EQ(folder.snapshot().size(), 3u);
}

TEST_F(WindowsFilesTest, AFileHeldOpenByAnotherProgramIsNotReplacedAndNothingIsLost) {
    folder.write("KrelEdit.bds", Text("old"));
    // Open as a program that shares reading and writing but not deleting (most do) holds it.
    HANDLE held = ::CreateFileW((folder / "KrelEdit.bds").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const Status saved =
        WriteFileAtomically(folder / "KrelEdit.bds", Text("new"), {&store, "Save"});
    ::CloseHandle(held);
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error(), "the file is open in another program");
    EXPECT_EQ(folder.read("KrelEdit.bds"), Text("old"));
    EXPECT_EQ(folder.snapshot().size(), 1u) << "no temporary file left behind";
    // Let go, it is replaced.
    ASSERT_TRUE(WriteFileAtomically(folder / "KrelEdit.bds", Text("new"), {&store, "Save"}).ok());
    EXPECT_EQ(folder.read("KrelEdit.bds"), Text("new"));
}

TEST_F(WindowsFilesTest, DevicesNamedAsFilesAreWrittenAsStreamsAndNeverReplaced) {
    // NUL takes any bytes, in a batch too; nothing is kept of it and no file appears.
    EXPECT_TRUE(WriteFileAtomically(folder / "NUL", Text("x"), {&store, "Save"}).ok());
    {
        AtomicBatch batch;
        EXPECT_TRUE(batch.add(folder / "NUL.png", Text("batched"), {&store, "Render"}).ok());
        EXPECT_TRUE(batch.add(folder / "b.png", Text("b")).ok());
        EXPECT_TRUE(batch.commit().ok());
    }
    EXPECT_EQ(folder.read("b.png"), Text("b"));
    EXPECT_EQ(folder.snapshot().size(), 1u);
    EXPECT_TRUE(store.list().empty());
}

TEST_F(WindowsFilesTest, ReplacementsGoThroughSymbolicLinks) {
    TempFolder elsewhere;
    elsewhere.write("real.bds", Text("old"));
    // Relative, as links are usually made; the system may refuse or (Wine) ignore the request.
    ::CreateSymbolicLinkW((folder / "KrelEdit.bds").c_str(), (elsewhere / "real.bds").c_str(),
                          SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (!(AttributesOf(folder / "KrelEdit.bds") & FILE_ATTRIBUTE_REPARSE_POINT) ||
        AttributesOf(folder / "KrelEdit.bds") == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "this system made no symbolic link (Windows makes them in developer mode "
                        "or for an administrator; Wine 8 reports success and makes none)";
    }
    ASSERT_TRUE(WriteFileAtomically(folder / "KrelEdit.bds", Text("new bytes")).ok());
    EXPECT_TRUE(AttributesOf(folder / "KrelEdit.bds") & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(elsewhere.read("real.bds"), Text("new bytes"));
    EXPECT_EQ(folder.snapshot().size(), 1u);
}

TEST(WindowsNamesTest, EveryNameComesBackFromItsBytesAsItWas) {
    // Plain, of no one code page, past the 16-bit plane, and lone surrogates, which NTFS takes.
    const wchar_t high = 0xD800;
    const wchar_t low = 0xDC00;
    const std::wstring names[] = {L"plain.bds", L"\u00e9\u263a.img", L"\U0001F600.bds",
                                  L"a" + std::wstring(1, high) + L"b.bds", std::wstring(1, low)};
    for (const std::wstring& name : names) {
        EXPECT_TRUE(PathOfBytes(PathBytes(name)).native() == name);
    }
    EXPECT_EQ(PathBytes(L"\u00e9"), "\xc3\xa9");
}
