// Replacing files without losing a byte: links written through, owners and modes kept, long
// names, patched copies, and the store of earlier versions.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstring>
#include <thread>

#include "TestBytes.h"
#include "storage/AtomicFile.h"
#include "storage/BackupStore.h"
#include "storage/FileSource.h"
#include "storage/PathBytes.h"

using namespace krellon;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Text(std::string_view s) {
    return {s.begin(), s.end()};
}

// The bytes of a kept version; none when it cannot be read.
std::vector<std::uint8_t> Stored(const BackupEntry& entry) {
    const auto bytes = BackupStore::read(entry);
    return bytes.ok() ? bytes.value() : std::vector<std::uint8_t>{};
}

// A notKept that keeps the reason in problem.
auto Into(std::string& problem) {
    return [&problem](const std::string& why) { problem = why; };
}

#ifndef _WIN32
struct stat StatOf(const fs::path& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status;
}
#endif

// Files in folder besides the given ones: leftovers of a replacement.
std::vector<std::string> Others(const TempFolder& folder, std::vector<std::string> expected) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        const std::string name = PathBytes(entry.path().filename());
        if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
            others.push_back(name);
        }
    }
    return others;
}

}  // namespace

// A folder to write in, and a store for the versions of what is replaced there.
class AtomicFileTest : public ::testing::Test {
protected:
    TempFolder folder;
    TempFolder storeFolder;
    BackupStore store{storeFolder.path()};
};
using BackupStoreTest = AtomicFileTest;

// Symbolic links, modes, owners and groups as POSIX has them; WindowsFilesTest has Windows's
// links and attributes.
#ifndef _WIN32
TEST_F(AtomicFileTest, ReplacementsGoThroughLinksKeepModeAndOwnerAndTakeLongNames) {
    TempFolder elsewhere;
    elsewhere.write("real.bds", Text("old"));
    // A relative link to a relative link in another folder.
    fs::create_symlink(elsewhere / "real.bds", elsewhere / "middle.bds");
    fs::create_symlink(fs::relative(elsewhere / "middle.bds", folder.path()),
                       folder / "KrelEdit.bds");
    ASSERT_TRUE(WriteFileAtomically(folder / "KrelEdit.bds", Text("new bytes")).ok());
    EXPECT_TRUE(fs::is_symlink(folder / "KrelEdit.bds"));
    EXPECT_TRUE(fs::is_symlink(elsewhere / "middle.bds"));
    EXPECT_EQ(elsewhere.read("real.bds"), Text("new bytes"));
    EXPECT_TRUE(Others(folder, {"KrelEdit.bds"}).empty());
    EXPECT_TRUE(Others(elsewhere, {"real.bds", "middle.bds"}).empty());

    // A dangling link makes its target, as writing through a link does.
    fs::create_symlink(elsewhere / "new.img", folder / "made.img");
    ASSERT_TRUE(WriteFileAtomically(folder / "made.img", Text("abc")).ok());
    EXPECT_EQ(elsewhere.read("new.img"), Text("abc"));

    // Links in a circle are refused, and nothing is written.
    fs::create_symlink(folder / "b.bds", folder / "a.bds");
    fs::create_symlink(folder / "a.bds", folder / "b.bds");
    EXPECT_FALSE(WriteFileAtomically(folder / "a.bds", Text("x")).ok());
    EXPECT_TRUE(fs::is_symlink(folder / "a.bds"));

    // A name as long as the system allows (255 bytes) is replaced, leaving nothing else.
    const std::string name = std::string(251, 'n') + ".bmp";
    ASSERT_TRUE(WriteFileAtomically(elsewhere / name, Text("one")).ok());
    ASSERT_TRUE(WriteFileAtomically(elsewhere / name, Text("two")).ok());
    EXPECT_EQ(elsewhere.read(name), Text("two"));
    EXPECT_TRUE(Others(elsewhere, {"real.bds", "middle.bds", "new.img", name}).empty());

    // The replaced file's mode, owner and group stay; a new file gets the usual mode, not the
    // private one of a replacement under way.
    folder.write("shared.img", Text("old"));
    fs::permissions(folder / "shared.img", fs::perms(0640));
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((folder / "shared.img").c_str(), 1234, 100), 0);
    }
    ASSERT_TRUE(WriteFileAtomically(folder / "shared.img", Text("new")).ok());
    const struct stat after = StatOf(folder / "shared.img");
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_TRUE(!root || (after.st_uid == 1234u && after.st_gid == 100u));
    ASSERT_TRUE(WriteFileAtomically(folder / "fresh.bds", Text("x")).ok());
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(StatOf(folder / "fresh.bds").st_mode & 0777, 0666u & ~mask);
}

TEST_F(AtomicFileTest, AGroupMemberSavingAGroupFileKeepsItTheGroups) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    // root:users 660 in a folder the group may write, saved by nobody, a member of users.
    const gid_t users = 100;
    const uid_t nobody = 65534;
    const gid_t nogroup = 65534;
    fs::permissions(folder.path(), fs::perms(0777));
    folder.write("shared.bds", Text("old"));
    ASSERT_EQ(::chown((folder / "shared.bds").c_str(), 0, users), 0);
    fs::permissions(folder / "shared.bds", fs::perms(0660));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const gid_t groups[] = {users};
        if (::setgroups(1, groups) != 0 || ::setgid(nogroup) != 0 || ::setuid(nobody) != 0) {
            ::_exit(3);
        }
        ::_exit(WriteFileAtomically(folder / "shared.bds", Text("new")).ok() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(folder.read("shared.bds"), Text("new"));
    const struct stat after = StatOf(folder / "shared.bds");
    EXPECT_EQ(after.st_gid, users);
    EXPECT_EQ(after.st_mode & 07777, 0660u);
}

#endif

TEST_F(AtomicFileTest, PatchedCopyWritesThePatchesOverTheCurrentBytesAcrossBlocks) {
    // Larger than one copy block, with a patch across the block boundary.
    std::vector<std::uint8_t> bytes(3 * 1024 * 1024 + 17);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    folder.write("big.img", bytes);
    const std::vector<std::uint8_t> a(10, 0xAA);
    const std::vector<std::uint8_t> b(100, 0xBB);
    const std::vector<Patch> patches{{3, a}, {(1 << 20) - 50, b}};
    FileSource current;
    ASSERT_TRUE(current.open(folder / "big.img"));
    std::string problem;
    const Status patched = PatchFileAtomically(folder / "big.img", current, patches,
                                               {&store, "Import from x.bmp", Into(problem)});
    ASSERT_TRUE(patched.ok()) << patched.error();
    EXPECT_EQ(problem, "");
    std::vector<std::uint8_t> expected = bytes;
    std::copy(a.begin(), a.end(), expected.begin() + 3);
    std::copy(b.begin(), b.end(), expected.begin() + (1 << 20) - 50);
    EXPECT_TRUE(folder.read("big.img") == expected);
    const auto kept = store.list(folder.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].reason, "Import from x.bmp");
    EXPECT_EQ(kept[0].size, bytes.size());
    EXPECT_TRUE(Stored(kept[0]) == bytes);
}

// FIFOs, sockets and device nodes; WindowsFilesTest writes to Windows's devices and pipes.
#ifndef _WIN32
TEST_F(AtomicFileTest, PipesAndDevicesAreWrittenAsStreamsAndNothingElseIsReplacedOrKept) {
    ASSERT_EQ(::mkfifo((folder / "out.fifo").c_str(), 0600), 0);
    fs::create_symlink("out.fifo", folder / "link.bds");
    // A pipe with a reader gets the bytes, in a batch and through a link too (CliTest writes
    // each command's output to one).
    {
        PipeReader reader(folder / "out.fifo");
        AtomicBatch batch;
        EXPECT_TRUE(batch.add(folder / "link.bds", Text("batched"), {&store, "Render"}).ok());
        EXPECT_TRUE(batch.add(folder / "b.png", Text("b")).ok());
        EXPECT_TRUE(batch.commit().ok());
        EXPECT_EQ(reader.finish(), Text("batched"));
        EXPECT_EQ(folder.read("b.png"), Text("b"));
    }
    // A reader that goes away fails the write with its reason, and ends nothing else.
    {
        const int fd = ::open((folder / "out.fifo").c_str(), O_RDONLY | O_NONBLOCK);
        std::string failure;
        std::thread writer([&] {
            failure = WriteFileAtomically(folder / "out.fifo", std::vector<std::uint8_t>(1 << 20))
                          .error();
        });
        pollfd ready{fd, POLLIN, 0};
        ::poll(&ready, 1, 5000);
        ::close(fd);
        writer.join();
        EXPECT_EQ(failure, "Broken pipe");
    }
    EXPECT_TRUE(fs::is_fifo(folder / "out.fifo"));
    EXPECT_TRUE(fs::is_symlink(folder / "link.bds"));

    // A socket is refused and left as it is (a folder: EditorEditingTest).
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, (folder / "s.bds").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const Status toSocket = WriteFileAtomically(folder / "s.bds", Text("x"), {&store, "Save"});
    EXPECT_EQ(toSocket.error(), "a socket of that name is in the way");
    ::close(sock);
    EXPECT_EQ(fs::status(folder / "s.bds").type(), fs::file_type::socket);
    EXPECT_TRUE(store.list().empty());
    if (::geteuid() != 0) {
        GTEST_SKIP() << "devices are made only as root; pipes and sockets were checked";
    }
    // Devices made here: writes to a full one fail with its reason, a block device is refused.
    ASSERT_EQ(::mknod((folder / "full").c_str(), S_IFCHR | 0600, ::makedev(1, 7)), 0);
    ASSERT_EQ(::mknod((folder / "disk").c_str(), S_IFBLK | 0600, ::makedev(7, 0)), 0);
    EXPECT_EQ(WriteFileAtomically(folder / "full", Text("x"), {&store, "Save"}).error(),
              "No space left on device");
    EXPECT_EQ(WriteFileAtomically(folder / "disk", Text("x")).error(),
              "a block device of that name is in the way");
    EXPECT_TRUE(fs::is_character_file(folder / "full"));
    EXPECT_TRUE(fs::is_block_file(folder / "disk"));
    EXPECT_TRUE(store.list().empty());
}

#endif

TEST_F(AtomicFileTest, AKeptVersionIsOnDiskFirstABatchIsAllOrNothingAndNoFailureLosesAFile) {
    folder.write("a.bds", Text("old a"));
    folder.write("b.png", Text("old b"));
    // A replacement that fails keeps no version and leaves the old file.
    SetWriteFailureAfterBytesForTesting(2);
    EXPECT_FALSE(WriteFileAtomically(folder / "a.bds", Text("new"), {&store, "Save"}).ok());
    SetWriteFailureAfterBytesForTesting(std::nullopt);
    EXPECT_TRUE(store.list().empty());
    EXPECT_EQ(folder.read("a.bds"), Text("old a"));

    std::vector<std::string> steps;
    std::string failing;
    SetDiskStepHookForTesting([&](std::string_view step) {
        steps.emplace_back(step);
        return step != failing;
    });
    std::string problem;
    ASSERT_TRUE(
        WriteFileAtomically(folder / "a.bds", Text("new a"), {&store, "Save", Into(problem)}).ok());
    EXPECT_EQ(steps, (std::vector<std::string>{"flush file", "flush backup", "rename backup",
                                               "flush backup folder", "rename file"}));
    // A batch changes nothing until it commits, and dropped leaves nothing behind; a file it
    // cannot write fails alone.
    {
        AtomicBatch dropped;
        ASSERT_TRUE(dropped.add(folder / "a.bds", Text("x"), {&store, "Render"}).ok());
        ASSERT_TRUE(dropped.add(folder / "c.png", Text("x")).ok());
        fs::create_directory(folder / "d.png");
        EXPECT_FALSE(dropped.add(folder / "d.png", Text("x")).ok());
        EXPECT_EQ(folder.read("a.bds"), Text("new a"));
        EXPECT_FALSE(fs::exists(folder / "c.png"));
    }
    EXPECT_EQ(Others(folder, {"a.bds", "b.png", "d.png"}), std::vector<std::string>{});
    ASSERT_EQ(store.list().size(), 1u);
    // Committed, it flushes its files, then its versions' bytes, then their names, then
    // replaces.
    steps.clear();
    {
        AtomicBatch batch;
        ASSERT_TRUE(batch.add(folder / "a.bds", Text("newer a"), {&store, "Render"}).ok());
        ASSERT_TRUE(batch.add(folder / "b.png", Text("new b"), {&store, "Render"}).ok());
        ASSERT_TRUE(batch.commit().ok());
    }
#ifdef _WIN32
    // Windows flushes no whole file system: each file, then each version, as it is added.
    EXPECT_EQ(steps, (std::vector<std::string>{"flush file", "flush file", "flush backup",
                                               "flush backup", "rename backup", "rename backup",
                                               "rename file", "rename file"}));
#else
    EXPECT_EQ(steps, (std::vector<std::string>{"flush files", "flush backups", "rename backup",
                                               "rename backup", "flush backups", "rename file",
                                               "rename file"}));
#endif
    EXPECT_EQ(folder.read("a.bds"), Text("newer a"));
    EXPECT_EQ(folder.read("b.png"), Text("new b"));
    EXPECT_EQ(Others(folder, {"a.bds", "b.png", "d.png"}), std::vector<std::string>{});
    ASSERT_EQ(store.list().size(), 3u);
    for (const BackupEntry& entry : store.list()) {
        const bool b = entry.original.filename() == "b.png";
        EXPECT_EQ(Stored(entry), Text(entry.reason == "Save" ? "old a" : b ? "old b" : "new a"));
    }

    // A version whose bytes cannot be flushed is not kept; the replacement goes on, and says so.
    for (const char* step : {"flush backup", "flush backup folder"}) {
        failing = step;
        problem.clear();
        ASSERT_TRUE(
            WriteFileAtomically(folder / "a.bds", Text(step), {&store, "Save", Into(problem)})
                .ok());
        EXPECT_EQ(problem, "Input/output error");
        EXPECT_EQ(folder.read("a.bds"), Text(step));
        EXPECT_EQ(store.list().size(), 3u) << step;
    }
    SetDiskStepHookForTesting(nullptr);
    for (const auto& entry : fs::recursive_directory_iterator(storeFolder.path())) {
        EXPECT_NE(entry.path().extension(), ".part");
    }
    // Nor does a store that cannot be made.
    storeFolder.write("blocked", Text("a file where the store's folder would go"));
    BackupStore blocked(storeFolder / "blocked" / "store");
    EXPECT_TRUE(
        WriteFileAtomically(folder / "a.bds", Text("new"), {&blocked, "Save", Into(problem)}).ok());
    EXPECT_EQ(folder.read("a.bds"), Text("new"));
    EXPECT_EQ(problem, "Not a directory");
}

TEST_F(BackupStoreTest, KeepsTheNewestVersionsOfEachFileWithinTheLimits) {
    BackupStore capped(storeFolder.path(), {3, 1000, std::chrono::milliseconds(0)});
    // Five saves over one file: the last three earlier versions are kept, newest first.
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(WriteFileAtomically(folder / "a.bds", Text("version " + std::to_string(i)),
                                        {&capped, "Save " + std::to_string(i)})
                        .ok());
    }
    auto kept = capped.list(folder.path());
    ASSERT_EQ(kept.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(kept[i].reason, "Save " + std::to_string(5 - i));
        EXPECT_EQ(Stored(kept[i]), Text("version " + std::to_string(4 - i)));
    }
    EXPECT_GE(kept[0].timeNs, kept[1].timeNs);

    // Over the size cap the oldest go first, but every file keeps its newest version.
    folder.write("b.img", std::vector<std::uint8_t>(900, 1));
    ASSERT_TRUE(WriteFileAtomically(folder / "b.img", Text("small"), {&capped, "Import"}).ok());
    kept = capped.list(folder.path());
    std::uint64_t total = 0;
    for (const auto& entry : kept) {
        total += entry.size;
    }
    EXPECT_LE(total, 1000u);
    ASSERT_GE(kept.size(), 2u);
    EXPECT_EQ(kept[0].original.filename(), "b.img");
    EXPECT_EQ(kept[1].original.filename(), "a.bds");
    EXPECT_EQ(kept[1].reason, "Save 5");

    // A file bigger than the cap still keeps its newest version.
    folder.write("huge.img", std::vector<std::uint8_t>(5000, 2));
    ASSERT_TRUE(WriteFileAtomically(folder / "huge.img", Text("x"), {&capped, "Import"}).ok());
    EXPECT_EQ(capped.list(folder.path()).front().size, 5000u);
}

TEST_F(BackupStoreTest, EachStoreMeasuresItsSizeOnAClockOfItsOwn) {
    // Twelve versions in one store, copied into a second whose cap they exceed.
    TempFolder stores;
    const BackupStore::Limits roomy{20, 1 << 30, std::chrono::minutes(1)};
    BackupStore first(stores / "first", roomy);
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(WriteFileAtomically(folder / "a.bds", std::vector<std::uint8_t>(50, 'a' + i),
                                        {&first, "Save"})
                        .ok());
    }
    fs::copy(stores / "first", stores / "second", fs::copy_options::recursive);
    // The first store was just measured; the second never was, and is measured at once.
    BackupStore second(stores / "second", {20, 1000, std::chrono::minutes(1)});
    ASSERT_TRUE(
        WriteFileAtomically(folder / "a.bds", std::vector<std::uint8_t>(50, 'z'), {&second, "Save"})
            .ok());
    std::uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(stores / "second")) {
        total += entry.is_regular_file() ? entry.file_size() : 0;
    }
    EXPECT_LE(total, 1000u);
    EXPECT_EQ(first.list().size(), 11u);
}

TEST_F(BackupStoreTest, ListsTheFilesOfOneFolderWhateverTheirNames) {
    TempFolder other;
#ifdef _WIN32
    // UTF-16, characters of no one code page; Windows takes no line break in a name.
    const std::wstring odd = L"new line %41 \u263a \u03a9.bds";
    folder.write(PathBytes(odd), Text("old"));
#else
    const std::string odd = "new\nline %41 \xff.bds";
    folder.write(odd, Text("old"));
#endif
    other.write("KrelEdit.bds", Text("other"));
    ASSERT_TRUE(WriteFileAtomically(folder.path() / odd, Text("new"), {&store, "Save\nAs"}).ok());
    ASSERT_TRUE(WriteFileAtomically(other / "KrelEdit.bds", Text("x"), {&store, "Save"}).ok());
    const auto kept = store.list(folder.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].original.filename().native(), odd);
    EXPECT_EQ(kept[0].reason, "Save\nAs");
    EXPECT_EQ(store.list().size(), 2u);
#ifndef _WIN32  // WindowsFilesTest lists through Windows's links
    // The folder named through a link lists the same versions.
    TempFolder links;
    fs::create_symlink(folder.path(), links / "via");
    EXPECT_EQ(store.list(links / "via").size(), 1u);
    // A file reached through a link is kept under the link's name, where the user sees it.
    fs::create_symlink(other / "KrelEdit.bds", folder / "linked.bds");
    ASSERT_TRUE(WriteFileAtomically(folder / "linked.bds", Text("y"), {&store, "Save"}).ok());
    EXPECT_EQ(store.list(folder.path()).front().original.filename(), "linked.bds");
#endif
}
