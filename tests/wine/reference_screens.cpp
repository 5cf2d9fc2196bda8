// reference_screens OUTDIR PICTURE: the module's screen, as the simulated module writes it
// after power-up, for the frames the Linux panel makes of the demo picture (from the
// working folder), of PICTURE dropped onto the window, of PICTURE copied to the clipboard,
// of a bitmap on the clipboard (window_probe put-dib's), and of the stripes pattern:
// OUTDIR/demo.png, dropped.png, clipboard.png, clipboard_bitmap.png, stripes.png.
// The Wine tests compare the Windows panel's frames against them.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/panel.h"
#include "imaging/jpeg_image.h"
#include "pictures/picture_files.h"
#include "sim/module_state_machine.h"
#include "sim/screen_png.h"
#include "support/fake_view.h"
#include "support/listed_ports.h"

namespace {

bool WriteScreen(const panel::Panel& panel, const std::filesystem::path& path) {
    return panel.HasPreview() && sim::WriteScreenPng(path.string(), panel.LastFrame(),
                                                     sim::kDefaultColor, sim::kDefaultBrightness);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: reference_screens OUTDIR PICTURE\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const std::filesystem::path picture = argv[2];
    imaging::ComputeDefaultJPEGDepth(24);
    testing_support::FakeView view;
    testing_support::FakeClipboard clipboard;
    testing_support::ListedPortsPlatform no_ports;
    panel::Panel panel(view, no_ports, clipboard);
    bool written = true;
    panel.FormShow();
    panel.Button4Click();
    written &= WriteScreen(panel, out / "demo.png");
    panel.OpenPictureFile(picture);
    panel.Button4Click();
    written &= WriteScreen(panel, out / "dropped.png");
    clipboard.Offer(pictures::LoadPictureFile(picture));
    view.Check(panel::Switch::AutoSend, false);  // no port: the preview alone
    panel.Timer1Timer();
    panel.Button4Click();
    written &= WriteScreen(panel, out / "clipboard.png");
    imaging::Bitmap bitmap(320, 200, imaging::PixelFormat::Bgr24);  // window_probe put-dib's
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width() * 3; ++x)
            bitmap.Row(y)[x] = (y < 50 || x < 40 * 3) ? 255 : 0;
    }
    clipboard.Offer(bitmap);
    panel.Timer1Timer();
    panel.Button4Click();
    written &= WriteScreen(panel, out / "clipboard_bitmap.png");
    const std::vector<std::uint8_t> stripes(panel.LastFrame().size(), protocol::kStripesFill);
    written &= sim::WriteScreenPng((out / "stripes.png").string(), stripes, sim::kDefaultColor,
                                   sim::kDefaultBrightness);
    if (!written || !view.errors.empty()) {
        std::fprintf(stderr, "reference_screens: %s\n",
                     view.errors.empty() ? "cannot write" : view.errors.front().c_str());
        return 1;
    }
    return 0;
}
