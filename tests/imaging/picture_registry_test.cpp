#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <jpeglib.h>

#include <jerror.h>

#include "imaging/jpeg_image.h"
#include "imaging/picture_registry.h"
#include "jpeg_test_support.h"

namespace {

using imaging::EInvalidGraphic;
using imaging::EJPEG;
using imaging::FileFormat;
using imaging::TBitmapGraphic;
using imaging::TGraphic;
using imaging::TJPEGImage;
using jpeg_test::TestFile;

class PictureRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { Forget(); }
    void TearDown() override {
        Forget();
        std::filesystem::remove_all(m_folder);
    }

    // A copy of a test file under another name.
    std::filesystem::path CopyAs(const char* source, const char* name) {
        std::filesystem::create_directories(m_folder);
        const std::filesystem::path target = m_folder / name;
        std::filesystem::copy_file(TestFile(source), target,
                                   std::filesystem::copy_options::overwrite_existing);
        return target;
    }

private:
    static void Forget() {
        imaging::UnregisterJPEGFormat();
        imaging::UnregisterFileFormat("xyz");
    }

    std::filesystem::path m_folder =
        std::filesystem::temp_directory_path() /
        ("picture_registry_test_" +
         std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(PictureRegistryTest, JpegRegistersJpegThenJpg) {
    imaging::RegisterJPEGFormat();
    const std::vector<FileFormat> formats = imaging::RegisteredFileFormats();
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].extension, "jpeg");
    EXPECT_EQ(formats[1].extension, "jpg");
    EXPECT_EQ(formats[0].description, "JPEG Image File");
    EXPECT_EQ(formats[1].description, "JPEG Image File");
}

TEST_F(PictureRegistryTest, ExtensionChoosesTheJpegPictureWhateverItsCase) {
    imaging::RegisterJPEGFormat();
    for (const char* name : {"demo.jpg", "DEMO.JPG", "demo.Jpeg"}) {
        std::unique_ptr<TGraphic> picture =
            imaging::LoadPictureFromFile(CopyAs("color_480.jpg", name));
        auto* jpeg = dynamic_cast<TJPEGImage*>(picture.get());
        ASSERT_NE(jpeg, nullptr) << name;
        EXPECT_EQ(picture->Width(), 480);
        EXPECT_EQ(picture->Height(), 480);
        EXPECT_FALSE(picture->IsEmpty());
    }
}

TEST_F(PictureRegistryTest, LoaderPassesTheJpegErrorOn) {
    imaging::RegisterJPEGFormat();
    try {
        imaging::LoadPictureFromFile(TestFile("bitmap_named.jpg"));
        ADD_FAILURE() << "a bitmap file loaded as a JPEG";
    } catch (const EJPEG& error) {
        EXPECT_EQ(error.Code(), JERR_NO_SOI);
    }
}

TEST_F(PictureRegistryTest, UnknownOrUnregisteredExtensionIsRefused) {
    const std::filesystem::path jpeg = CopyAs("color_480.jpg", "demo.jpg");
    try {
        imaging::LoadPictureFromFile(jpeg);
        ADD_FAILURE() << "loaded with nothing registered";
    } catch (const EInvalidGraphic& error) {
        EXPECT_NE(std::string(error.what()).find(".jpg"), std::string::npos) << error.what();
    }
    imaging::RegisterJPEGFormat();
    EXPECT_THROW(imaging::LoadPictureFromFile(CopyAs("color_480.jpg", "demo.bmp")),
                 EInvalidGraphic);
    EXPECT_THROW(imaging::LoadPictureFromFile(CopyAs("color_480.jpg", "demo")), EInvalidGraphic);
    imaging::UnregisterJPEGFormat();
    EXPECT_THROW(imaging::LoadPictureFromFile(jpeg), EInvalidGraphic);
    EXPECT_TRUE(imaging::RegisteredFileFormats().empty());
}

TEST_F(PictureRegistryTest, LaterRegistrationOfAnExtensionReplacesTheFirst) {
    int first_calls = 0;
    int second_calls = 0;
    imaging::RegisterFileFormat("xyz", "First", [&](const std::filesystem::path&) {
        ++first_calls;
        return std::make_unique<TBitmapGraphic>();
    });
    imaging::RegisterFileFormat(".XYZ", "Second", [&](const std::filesystem::path&) {
        ++second_calls;
        return std::make_unique<TBitmapGraphic>(imaging::Bitmap(2, 3, imaging::PixelFormat::Bgr24));
    });
    const std::unique_ptr<TGraphic> picture = imaging::LoadPictureFromFile("any/where.xyz");
    EXPECT_EQ(first_calls, 0);
    EXPECT_EQ(second_calls, 1);
    EXPECT_EQ(picture->Height(), 3);
    ASSERT_EQ(imaging::RegisteredFileFormats().size(), 1u);
    EXPECT_EQ(imaging::RegisteredFileFormats()[0].description, "Second");
}

}  // namespace
