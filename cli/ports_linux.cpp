#include <fstream>
#include <system_error>

#include "cli/ports.h"

namespace cli {

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The USB device a tty hangs off: the first folder above it with a vendor id.
fs::path UsbDeviceOf(const std::string& name, const fs::path& sys) {
    std::error_code error;
    fs::path at = fs::canonical(sys / "class/tty" / name / "device", error);
    for (; !error && !at.empty() && at != at.root_path(); at = at.parent_path()) {
        if (fs::exists(at / "idVendor", error)) {
            return at;
        }
    }
    return {};
}

std::string ByIdName(const std::string& name, const fs::path& dev) {
    std::error_code error;
    const fs::path device = fs::canonical(dev / name, error);
    if (error) {
        return {};
    }
    for (const fs::directory_entry& link : fs::directory_iterator(dev / "serial/by-id", error)) {
        std::error_code link_error;
        if (fs::canonical(link.path(), link_error) == device && !link_error) {
            return link.path().string();
        }
    }
    return {};
}

}  // namespace

PortDetails DetailsOf(const std::string& name, const fs::path& sys, const fs::path& dev) {
    PortDetails details;
    const fs::path usb = UsbDeviceOf(name, sys);
    if (!usb.empty()) {
        details.maker = FirstLine(usb / "manufacturer");
        details.product = FirstLine(usb / "product");
        details.serial = FirstLine(usb / "serial");
    }
    details.by_id = ByIdName(name, dev);
    return details;
}

}  // namespace cli
