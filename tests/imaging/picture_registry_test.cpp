#include <gtest/gtest.h>

#include <filesystem>
#include <ios>

#include "imaging/jpeg_image.h"
#include "imaging/picture_registry.h"
#include "jpeg_test_support.h"

namespace {

using imaging::EInvalidGraphic;
using imaging::LoadPictureFromFile;

TEST(PictureRegistryTest, JpegTypeTakesJpegAndJpgInAnyCaseAndNothingElse) {
    const std::filesystem::path jpeg = jpeg_test::TestFile("color_480.jpg");
    EXPECT_THROW(LoadPictureFromFile(jpeg), EInvalidGraphic);  // nothing registered yet
    imaging::RegisterJPEGFormat();
    const std::vector<imaging::FileFormat> formats = imaging::RegisteredFileFormats();
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].extension + formats[1].extension + formats[1].description,
              "jpegjpgJPEG Image File");
    const std::unique_ptr<imaging::TGraphic> picture = LoadPictureFromFile(jpeg);
    EXPECT_NE(dynamic_cast<imaging::TJPEGImage*>(picture.get()), nullptr);
    EXPECT_EQ(picture->Width(), 480);
    EXPECT_THROW(LoadPictureFromFile("missing/DEMO.JPG"), std::ios_base::failure);  // tried as JPEG
    EXPECT_THROW(LoadPictureFromFile("missing/demo.Jpeg"), std::ios_base::failure);
    EXPECT_THROW(LoadPictureFromFile(jpeg_test::TestFile("bitmap_named.jpg")), imaging::EJPEG);
    EXPECT_THROW(LoadPictureFromFile("demo.bmp"), EInvalidGraphic);
    EXPECT_THROW(LoadPictureFromFile("demo"), EInvalidGraphic);
    imaging::UnregisterJPEGFormat();
    EXPECT_THROW(LoadPictureFromFile(jpeg), EInvalidGraphic);
    EXPECT_TRUE(imaging::RegisteredFileFormats().empty());
}

TEST(PictureRegistryTest, LaterRegistrationOfAnExtensionReplacesTheFirst) {
    using imaging::TBitmapGraphic;
    imaging::RegisterFileFormat("xyz", "First", [](const std::filesystem::path&) {
        return std::make_unique<TBitmapGraphic>();
    });
    imaging::RegisterFileFormat(".XYZ", "Second", [](const std::filesystem::path&) {
        return std::make_unique<TBitmapGraphic>(imaging::Bitmap(2, 3, imaging::PixelFormat::Bgr24));
    });
    EXPECT_EQ(LoadPictureFromFile("any/where.xyz")->Height(), 3);
    ASSERT_EQ(imaging::RegisteredFileFormats().size(), 1u);
    EXPECT_EQ(imaging::RegisteredFileFormats()[0].description, "Second");
    imaging::UnregisterFileFormat("xyz");
}

}  // namespace
