// A large photo dropped onto the panel: from the drop to Image1 showing it scaled, beside
// the same file decoded in full, in the same run. Qt's offscreen platform, no display.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QTemporaryDir>

#include "app/clipboard.h"
#include "app/qt/form1.h"
#include "app/qt/message_boxes.h"
#include "app/qt/picture_box.h"
#include "app/qt/picture_types.h"
#include "imaging/screen_scaler.h"
#include "pictures/picture_files.h"

namespace {

class NoBoxes : public MessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    void ShowException(const QString& text) override { error = text; }
    QString error;
};

class NoClipboard : public panel::Clipboard {
public:
    bool HasBitmap() override { return false; }
    imaging::Bitmap CopyBitmap() override { return {}; }
    void Empty() override {}
};

// A 24-megapixel baseline JPEG with detail everywhere, made once.
const QString& LargePhoto() {
    static QTemporaryDir folder;
    static const QString path = folder.filePath("photo.jpg");
    if (!QFile::exists(path)) {
        QImage photo(6000, 4000, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x)
                row[x] = qRgb((x ^ y) & 255, (x * 3 + y) / 40 % 256, (y * 5 - x) / 30 % 256);
        }
        photo.save(path, "JPG", 90);
    }
    return path;
}

void BM_DropScaled(benchmark::State& state) {
    const auto platform = serial::MakeNativeSerialPlatform();
    NoBoxes boxes;
    NoClipboard clipboard;
    TForm1 form(*platform, boxes, clipboard);
    form.show();          // painted for real, on the offscreen screen
    boxes.error.clear();  // no demo picture here: that box is not the drop's
    const std::filesystem::path photo = LargePhoto().toStdString();
    auto* image1 = form.findChild<PictureBox*>("Image1");
    for (auto _ : state) {
        form.Panel().OpenPictureFile(photo);
        image1->repaint();
    }
    if (!boxes.error.isEmpty())
        state.SkipWithError(boxes.error.toStdString().c_str());
}
BENCHMARK(BM_DropScaled)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// What the drop would cost without the DCT scaling: the full decode, then the same crop
// and scale.
void BM_FullDecodeThenScale(benchmark::State& state) {
    const std::string photo = LargePhoto().toStdString();
    for (auto _ : state) {
        const imaging::Bitmap full = pictures::LoadPictureFile(photo);
        benchmark::DoNotOptimize(imaging::ComposeScreenPicture(full, true));
    }
}
BENCHMARK(BM_FullDecodeThenScale)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ComputeJpegDepthFromScreen();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
