#pragma once

#include <QImage>

#include <cstdint>
#include <random>
#include <vector>

namespace testing_support {

inline QImage RandomPicture(int width, int height, unsigned seed) {
    QImage picture(width, height, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb(rng() % 256, rng() % 256, rng() % 256));
    return picture;
}

// The module's frame for the picture's top-left 480 x 480 with the automatic threshold,
// worked out here from the pixels alone.
inline std::vector<std::uint8_t> ExpectedFrame(const QImage& picture) {
    std::vector<int> luma;
    long long sum = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 480; ++x) {
            const QRgb c = picture.pixel(x, y);
            luma.push_back((77 * qRed(c) + 151 * qGreen(c) + 28 * qBlue(c)) / 256);
            sum += luma.back();
        }
    const long long mean = sum / (480 * 480);
    std::vector<std::uint8_t> frame(28800, 0);
    for (std::size_t i = 0; i < luma.size(); ++i)
        if (luma[i] > mean)
            frame[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
    return frame;
}

}  // namespace testing_support
