#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "imaging/graphic.h"

namespace win32ui {

// A picture control (Image1, Image2): a child window that paints a picture it does not own,
// from the top-left at 1:1.
class PictureControl {
public:
    PictureControl(HWND parent, int id, RECT bounds, HBRUSH background);
    PictureControl(const PictureControl&) = delete;
    PictureControl& operator=(const PictureControl&) = delete;

    void Show(imaging::TGraphic* picture);
    void Show(const imaging::Bitmap* picture);
    HWND Handle() const { return m_window; }
    // Told of a picture that failed to decode while painting, once the paint is over.
    std::function<void(const std::string&)> OnPaintError;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    const imaging::Bitmap* PixelsToPaint();
    void Paint();

    HWND m_window = nullptr;
    HBRUSH m_background;
    imaging::TGraphic* m_graphic = nullptr;
    const imaging::Bitmap* m_bitmap = nullptr;
    std::string m_paint_error;
};

}  // namespace win32ui
