#include "imaging/jpeg_decompressor.h"

#include <algorithm>
#include <cstring>

#include <jerror.h>

#include "imaging/jpeg_error.h"

namespace imaging {

namespace {

using jpeg_detail::ByteSource;
using jpeg_detail::ErrorManager;
using jpeg_detail::kSourceChunkBytes;

// A backstop for libjpeg's own working memory (coefficient buffers of progressive files);
// past it libjpeg fails with an error instead of exhausting the machine.
constexpr long kMaxLibjpegMemory = 1L << 30;

ErrorManager& ErrorManagerOf(j_common_ptr info) {
    return *reinterpret_cast<ErrorManager*>(info->err);
}

ByteSource& SourceOf(j_decompress_ptr info) {
    return *reinterpret_cast<ByteSource*>(info->src);
}

[[noreturn]] void JumpToBoundary(j_common_ptr info) {
    std::longjmp(ErrorManagerOf(info).jump_target, 1);
}

// Warnings and trace messages are dropped: nothing in the program shows them.
void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}
void FormatNothing(j_common_ptr, char* buffer) {
    buffer[0] = '\0';
}

void ResetErrorManager(j_common_ptr info) {
    info->err->msg_code = 0;
    info->err->num_warnings = 0;
}

constexpr const char* kAddonMessages[] = {"Too many scans in a progressive file"};

void InitErrorManager(ErrorManager& manager) {
    jpeg_std_error(&manager.pub);
    manager.pub.addon_message_table = kAddonMessages;
    manager.pub.first_addon_message = kJpegFirstAddonCode;
    manager.pub.last_addon_message = kJpegTooManyScans;
    manager.pub.error_exit = JumpToBoundary;
    manager.pub.emit_message = IgnoreMessage;
    manager.pub.output_message = IgnoreOutput;
    manager.pub.format_message = FormatNothing;
    manager.pub.reset_error_mgr = ResetErrorManager;
}

// libjpeg reports progress at least once per row of blocks, also while it reads the scans
// of a progressive file, so a scan count past the limit is caught within one scan.
void CheckScanCount(j_common_ptr info) {
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kJpegMaxScans) {
        ERREXIT(info, kJpegTooManyScans);
    }
}

void InitSource(j_decompress_ptr info) {
    SourceOf(info).delivered_any = false;
}

void Deliver(ByteSource& source, std::size_t count) {
    source.pub.next_input_byte = source.buffer;
    source.pub.bytes_in_buffer = count;
}

boolean FillInputBuffer(j_decompress_ptr info) {
    ByteSource& source = SourceOf(info);
    const std::size_t count = std::min(source.size - source.position, kSourceChunkBytes);
    if (count == 0) {
        if (!source.delivered_any) {
            ERREXIT(info, JERR_INPUT_EMPTY);
        }
        // A truncated file ends as if its end-of-image marker were there, and libjpeg
        // fills in what is missing.
        WARNMS(info, JWRN_JPEG_EOF);
        source.buffer[0] = 0xFF;
        source.buffer[1] = JPEG_EOI;
        Deliver(source, 2);
        return TRUE;
    }
    std::memcpy(source.buffer, source.data + source.position, count);
    source.position += count;
    source.delivered_any = true;
    Deliver(source, count);
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
    if (count <= 0) {
        return;
    }
    jpeg_source_mgr& source = *info->src;
    auto remaining = static_cast<std::size_t>(count);
    while (remaining > source.bytes_in_buffer) {
        remaining -= source.bytes_in_buffer;
        FillInputBuffer(info);
    }
    source.next_input_byte += remaining;
    source.bytes_in_buffer -= remaining;
}

void TermSource(j_decompress_ptr) {}

void InitByteSource(ByteSource& source, std::span<const std::uint8_t> bytes) {
    source.pub.init_source = InitSource;
    source.pub.fill_input_buffer = FillInputBuffer;
    source.pub.skip_input_data = SkipInputData;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = TermSource;
    source.pub.next_input_byte = nullptr;
    source.pub.bytes_in_buffer = 0;
    source.data = bytes.data();
    source.size = bytes.size();
    source.position = 0;
    source.delivered_any = false;
}

}  // namespace

JpegDecompressor::JpegDecompressor(std::span<const std::uint8_t> bytes) {
    InitErrorManager(m_error);
    InitByteSource(m_source, bytes);
    m_info.err = &m_error.pub;
    auto create = [](jpeg_decompress_struct& info) { jpeg_create_decompress(&info); };
    if (!RunGuarded(&CallStep<decltype(create)>, &create)) {
        // Safe on a half-made decompressor; the destructor will not run for this object.
        jpeg_destroy_decompress(&m_info);
        ThrowLastError();
    }
    m_info.src = &m_source.pub;
    m_scan_limit.pub.progress_monitor = CheckScanCount;
    m_info.progress = &m_scan_limit.pub;
    m_info.mem->max_memory_to_use = kMaxLibjpegMemory;
}

JpegDecompressor::~JpegDecompressor() {
    jpeg_destroy_decompress(&m_info);
}

// The one place libjpeg's fatal errors come back to: error_exit jumps here, past libjpeg's
// C frames, and the caller raises the exception from ordinary C++ code.
bool JpegDecompressor::RunGuarded(StepFunction step, void* context) {
    if (setjmp(m_error.jump_target) != 0) {
        return false;
    }
    step(m_info, context);
    return true;
}

void JpegDecompressor::ThrowLastError() const {
    throw EJPEG(m_error.pub.msg_code);
}

}  // namespace imaging
