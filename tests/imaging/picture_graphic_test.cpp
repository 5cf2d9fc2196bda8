#include <gtest/gtest.h>

#include <tuple>

#include "imaging/graphic.h"

namespace {

TEST(BitmapGraphicTest, ChangesNotifyAndAnIndexedBitmapBringsItsPalette) {
    imaging::TBitmapGraphic picture(imaging::Bitmap(4, 2, imaging::PixelFormat::Bgr24));
    EXPECT_FALSE(picture.PaletteModified());
    int changes = 0;
    picture.OnChange = [&changes] { ++changes; };
    picture.SetWidth(6);
    picture.SetHeight(1);
    EXPECT_EQ(std::tuple(changes, picture.Width(), picture.Height()), std::tuple(2, 6, 1));
    EXPECT_EQ(picture.DrawingBitmap().Row(0)[3 * 5], 0xFF);  // extended with white
    imaging::Bitmap indexed(3, 3, imaging::PixelFormat::Indexed8);
    indexed.SetPalette({{10, 20, 30}, {40, 50, 60}});
    picture.SetBitmap(indexed);
    imaging::Bitmap copy;
    picture.AssignTo(copy);
    EXPECT_EQ(copy, indexed);
    EXPECT_TRUE(changes == 3 && picture.PaletteModified());
    EXPECT_EQ(picture.Palette(), indexed.Palette());
}

}  // namespace
