// Replays the fuzzer's kept inputs through its checks (fuzz/jpeg_fuzzer.cpp), each in a child.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "jpeg_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(JpegCorpusTest, EveryKeptInputDecodesOrRaisesEJpeg) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(JPEG_FUZZ_CORPUS_DIR)) {
        const std::vector<std::uint8_t> bytes = jpeg_test::ReadFileBytes(entry.path());
        EXPECT_EXIT(std::exit(LLVMFuzzerTestOneInput(bytes.data(), bytes.size())),
                    ::testing::ExitedWithCode(0), "")
            << entry.path().filename();
        ++files;
    }
    EXPECT_GE(files, 10);
}

}  // namespace
