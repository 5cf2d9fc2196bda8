#include <windows.h>
// after windows.h, which they need
#include <wincodec.h>

#include <cstring>

#include "imaging/picture_file.h"
#include "pictures/claimed_size.h"
#include "pictures/com_scope_win32.h"
#include "pictures/picture_codec.h"
#include "protocol/commands.h"

namespace pictures {

namespace {

using win32::ComPtr;

ComPtr<IWICImagingFactory> MakeFactory() {
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Out())))) {
        throw imaging::EInvalidGraphic("the Windows Imaging Component is not available");
    }
    return factory;
}

void Check(HRESULT result) {
    if (FAILED(result)) {
        throw imaging::EPictureFile(imaging::PictureProblem::NotAPicture);
    }
}

ComPtr<IWICBitmapFrameDecode> FirstFrame(IWICImagingFactory& factory, IWICStream& stream) {
    ComPtr<IWICBitmapDecoder> decoder;
    Check(factory.CreateDecoderFromStream(&stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                          decoder.Out()));
    ComPtr<IWICBitmapFrameDecode> frame;
    Check(decoder->GetFrame(0, frame.Out()));
    return frame;
}

// Every decoder's format converts to 32-bit BGRA; the alpha byte is dropped row by row.
imaging::Bitmap ConvertToBgr24(IWICImagingFactory& factory, IWICBitmapSource& source, UINT width,
                               UINT height) {
    ComPtr<IWICFormatConverter> converter;
    Check(factory.CreateFormatConverter(converter.Out()));
    Check(converter->Initialize(&source, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                nullptr, 0.0, WICBitmapPaletteTypeMedianCut));
    imaging::Bitmap bitmap(static_cast<int>(width), static_cast<int>(height),
                           imaging::PixelFormat::Bgr24);
    std::vector<std::uint8_t> row(std::size_t{width} * 4);
    for (UINT y = 0; y < height; ++y) {
        const WICRect line = {0, static_cast<INT>(y), static_cast<INT>(width), 1};
        Check(converter->CopyPixels(&line, width * 4, width * 4, row.data()));
        std::uint8_t* out = bitmap.Row(static_cast<int>(y));
        for (UINT x = 0; x < width; ++x) {
            std::memcpy(out + 3 * x, row.data() + 4 * x, 3);
        }
    }
    return bitmap;
}

std::vector<std::uint8_t> StreamBytes(IStream& stream) {
    HGLOBAL memory = nullptr;
    STATSTG status{};
    if (FAILED(GetHGlobalFromStream(&stream, &memory)) ||
        FAILED(stream.Stat(&status, STATFLAG_NONAME))) {
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
    if (bytes == nullptr) {
        return {};
    }
    std::vector<std::uint8_t> copy(bytes, bytes + status.cbSize.QuadPart);
    GlobalUnlock(memory);
    return copy;
}

// One-bit black and white: a clear bit black, a set bit white, leftmost pixel in the top
// bit, as the frame itself.
bool WriteFrame(IWICImagingFactory& factory, IStream& stream, std::span<const std::uint8_t> frame) {
    constexpr UINT kWidth = protocol::kScreenWidth;
    constexpr UINT kHeight = protocol::kScreenHeight;
    constexpr UINT kStride = kWidth / 8;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> page;
    ComPtr<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormatBlackWhite;
    return frame.size() == kStride * kHeight &&
           SUCCEEDED(factory.CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out())) &&
           SUCCEEDED(encoder->Initialize(&stream, WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(page.Out(), options.Out())) &&
           SUCCEEDED(page->Initialize(options.Get())) &&
           SUCCEEDED(page->SetSize(kWidth, kHeight)) && SUCCEEDED(page->SetPixelFormat(&format)) &&
           IsEqualGUID(format, GUID_WICPixelFormatBlackWhite) &&
           SUCCEEDED(page->WritePixels(kHeight, kStride, kStride * kHeight,
                                       const_cast<BYTE*>(frame.data()))) &&
           SUCCEEDED(page->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

imaging::Bitmap DecodeOtherPicture(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > MAXDWORD) {
        throw imaging::EPictureFile(imaging::PictureProblem::NotAPicture);
    }
    // The header's size is checked before any decoder sees the bytes, and what cannot be
    // sized that way is refused as no picture; every format the package says it opens can.
    CheckPictureSize(ClaimedSize(bytes).value_or(PictureSize{}));
    win32::ComScope com;
    const ComPtr<IWICImagingFactory> factory = MakeFactory();
    ComPtr<IWICStream> stream;
    Check(factory->CreateStream(stream.Out()));
    Check(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()),
                                       static_cast<DWORD>(bytes.size())));
    const ComPtr<IWICBitmapFrameDecode> frame = FirstFrame(*factory.Get(), *stream.Get());
    UINT width = 0;
    UINT height = 0;
    Check(frame->GetSize(&width, &height));
    CheckPictureSize({width, height});
    return ConvertToBgr24(*factory.Get(), *frame.Get(), width, height);
}

// The Windows Imaging Component's built-in decoders but JPEG's, which the core takes: each
// sized by ClaimedSize, as DecodeOtherPicture needs. Codecs installed later are left out;
// their headers could not be sized.
std::vector<PictureFormat> OtherReadableFormats() {
    return {{{"png"}, "image/png"},
            {{"bmp", "dib"}, "image/bmp"},
            {{"gif"}, "image/gif"},
            {{"tif", "tiff"}, "image/tiff"},
            {{"ico"}, "image/vnd.microsoft.icon"},
            {{"jxr", "wdp", "hdp"}, "image/vnd.ms-photo"},
            {{"dds"}, "image/vnd.ms-dds"}};
}

std::vector<std::uint8_t> EncodeFramePng(std::span<const std::uint8_t> frame) {
    win32::ComScope com;
    try {
        const ComPtr<IWICImagingFactory> factory = MakeFactory();
        ComPtr<IStream> stream;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out())) ||
            !WriteFrame(*factory.Get(), *stream.Get(), frame)) {
            return {};
        }
        return StreamBytes(*stream.Get());
    } catch (const imaging::EInvalidGraphic&) {
        return {};
    }
}

}  // namespace pictures
