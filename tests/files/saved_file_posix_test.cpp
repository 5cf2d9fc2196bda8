#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "saved_file_test.h"

namespace {

namespace fs = std::filesystem;

// A new file takes the umask, a replaced one keeps its mode; a link, even one to nothing yet,
// is written through and stays a link; a FIFO is refused without waiting for a reader.
TEST_F(SavedFileTest, ModesLinksAndFifosAreKept) {
    const auto mode = [](const fs::path& path) { return int(fs::status(path).permissions()); };
    const mode_t umask = ::umask(022);
    std::ofstream(In("private.txt")) << "old";
    fs::permissions(In("private.txt"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("private.txt", In("link"));
    fs::create_symlink(In("later.txt"), In("dangling"));
    ASSERT_EQ(::mkfifo(In("fifo").c_str(), 0600), 0);
    for (const char* name : {"new.txt", "link", "dangling"}) Save(In(name), name);
    EXPECT_THROW(Save(In("fifo"), "x"), files::ESavedFile);
    ::umask(umask);
    EXPECT_EQ(std::tuple(mode(In("new.txt")), Read(In("new.txt"))), std::tuple(0644, "new.txt"));
    EXPECT_EQ(std::tuple(mode(In("private.txt")), Read(In("private.txt"))),
              std::tuple(0600, "link"));
    EXPECT_EQ(Read(In("later.txt")), "dangling");
    EXPECT_TRUE(fs::is_symlink(In("link")) && fs::is_symlink(In("dangling")) &&
                fs::is_fifo(In("fifo")));
    EXPECT_EQ(Entries(), 6);
}

// As on a full disk: the file size limit stops the write after 4 KiB, with the system's
// reason, and the old file stays whole.
TEST_F(SavedFileTest, WriteThatFailsHalfwayLeavesTheOldFileAndNoTemporaryOne) {
    std::ofstream(In("old.txt")) << "old";
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{4096, limit.rlim_max};
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string reason;
    try {
        Save(In("old.txt"), std::string(10000, 'x'));
    } catch (const files::ESavedFile& error) {
        reason = error.Reason();
    }
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(std::tuple(reason, Read(In("old.txt")), Entries()),
              std::tuple(std::generic_category().message(EFBIG), "old", 1));
}

}  // namespace
