#include "sim/screen_png.h"

#include <QImage>

#include <cstdio>

#include "sim/module_state_machine.h"
#include "sim/screen_render.h"

namespace sim {

bool WriteScreenPng(const std::string& path, std::span<const std::uint8_t> screen, int color,
                    int brightness) {
    const Rgb light = LightPixelColor(color, brightness);
    const QRgb light_rgb = qRgb(light.red, light.green, light.blue);
    const QRgb dark_rgb = qRgb(0, 0, 0);
    QImage image(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    for (int y = 0; y < kScreenHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kScreenWidth; ++x) {
            row[x] = PixelIsLight(screen, x, y) ? light_rgb : dark_rgb;
        }
    }
    const std::string temporary = path + ".part";
    if (!image.save(QString::fromStdString(temporary), "PNG")) {
        return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace sim
