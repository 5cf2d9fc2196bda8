#include <gtest/gtest.h>

#include "imaging/graphic.h"

namespace {

using imaging::Bitmap;
using imaging::PixelFormat;
using imaging::TBitmapGraphic;

TEST(BitmapGraphicTest, SizeChangesCropOrExtendAndNotify) {
    Bitmap bitmap(4, 2, PixelFormat::Bgr24);
    bitmap.Row(0)[0] = 7;
    TBitmapGraphic picture(bitmap);
    int changes = 0;
    picture.OnChange = [&] { ++changes; };

    picture.SetWidth(6);
    picture.SetHeight(1);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(picture.Width(), 6);
    EXPECT_EQ(picture.Height(), 1);
    EXPECT_EQ(picture.DrawingBitmap().Row(0)[0], 7);
    EXPECT_EQ(picture.DrawingBitmap().Row(0)[3 * 5], 0xFF);  // extended with white

    Bitmap copy;
    picture.AssignTo(copy);
    EXPECT_EQ(copy, picture.GetBitmap());
}

TEST(BitmapGraphicTest, IndexedBitmapBringsItsPalette) {
    TBitmapGraphic picture;
    EXPECT_TRUE(picture.IsEmpty());
    EXPECT_FALSE(picture.PaletteModified());
    picture.SetBitmap(Bitmap(3, 3, PixelFormat::Bgr24));
    EXPECT_FALSE(picture.PaletteModified());
    EXPECT_TRUE(picture.Palette().empty());

    Bitmap indexed(3, 3, PixelFormat::Indexed8);
    indexed.SetPalette({{10, 20, 30}, {40, 50, 60}});
    picture.SetBitmap(indexed);
    EXPECT_TRUE(picture.PaletteModified());
    EXPECT_EQ(picture.Palette(), indexed.Palette());
}

}  // namespace
