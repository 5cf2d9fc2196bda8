#pragma once

// libjpeg's headers need FILE and size_t declared first.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include <jpeglib.h>

namespace imaging {

namespace jpeg_detail {

// How many bytes the source hands libjpeg at a time.
inline constexpr std::size_t kSourceChunkBytes = 4096;

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump_target;
};

// Counts the scans libjpeg reads, to stop files whose scans cost more than they show.
struct ScanLimit {
    jpeg_progress_mgr pub;  // first, for the same reason
};

// Feeds libjpeg an in-memory JPEG from its first byte, through one small buffer.
struct ByteSource {
    jpeg_source_mgr pub;  // first, for the same reason
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
    bool delivered_any;
    JOCTET buffer[kSourceChunkBytes];
};

}  // namespace jpeg_detail

// One libjpeg decompressor reading an in-memory JPEG, whose fatal errors become EJPEG.
// It is destroyed with this object on every path. The bytes must outlive it.
class JpegDecompressor {
public:
    explicit JpegDecompressor(std::span<const std::uint8_t> bytes);
    ~JpegDecompressor();
    JpegDecompressor(const JpegDecompressor&) = delete;
    JpegDecompressor& operator=(const JpegDecompressor&) = delete;

    jpeg_decompress_struct& Info() { return m_info; }

    // Runs step(Info()), which calls into libjpeg, and raises EJPEG if libjpeg fails.
    // libjpeg leaves its C frames by longjmp, so the step must not hold, across a libjpeg
    // call, any local object whose destructor matters; it may use objects owned by callers.
    template <typename Step>
    void Run(Step& step) {
        if (!RunGuarded(&CallStep<Step>, &step)) {
            ThrowLastError();
        }
    }

private:
    using StepFunction = void (*)(jpeg_decompress_struct&, void*);

    template <typename Step>
    static void CallStep(jpeg_decompress_struct& info, void* step) {
        (*static_cast<Step*>(step))(info);
    }

    bool RunGuarded(StepFunction step, void* context);
    [[noreturn]] void ThrowLastError() const;

    jpeg_detail::ErrorManager m_error{};
    jpeg_detail::ScanLimit m_scan_limit{};
    jpeg_detail::ByteSource m_source{};
    jpeg_decompress_struct m_info{};
};

}  // namespace imaging
