#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "imaging/picture_file.h"

namespace {

namespace fs = std::filesystem;

// What must not be read: each is refused by its type or size, at once, naming the file.
TEST(PictureFileTest, OnlyRegularFilesUpTo64MiBAreRead) {
    const fs::path folder = fs::temp_directory_path() / ("pictures-" + std::to_string(::getpid()));
    fs::create_directories(folder / "folder.jpg");
    ASSERT_EQ(::mkfifo((folder / "fifo.jpg").c_str(), 0600), 0);
    for (const auto& [name, size] : {std::pair("huge.jpg", imaging::kMaxPictureFileBytes + 1),
                                     std::pair("limit.jpg", imaging::kMaxPictureFileBytes)}) {
        std::ofstream(folder / name).close();
        fs::resize_file(folder / name, size);  // sparse: nothing is written
    }
    const std::pair<const char*, const char*> refused[] = {{"folder.jpg", "not a regular file"},
                                                           {"fifo.jpg", "not a regular file"},
                                                           {"huge.jpg", "larger than 64 MiB"},
                                                           {"missing.jpg", "No such file"}};
    for (const auto& [name, reason] : refused) {
        try {
            imaging::ReadPictureFile(folder / name);
            ADD_FAILURE() << name << " was read";
        } catch (const imaging::EPictureFile& error) {
            EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
            EXPECT_NE(error.Reason().find(reason), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(imaging::ReadPictureFile(folder / "limit.jpg").size(), imaging::kMaxPictureFileBytes);
    fs::remove_all(folder);
}

}  // namespace
