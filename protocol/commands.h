#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "protocol/module_commands.h"
#include "serial/log_sink.h"
#include "serial/serial_link.h"

namespace protocol {

// One whole-screen monochrome frame: 480 rows of 60 bytes.
inline constexpr int kScreenWidth = 480;
inline constexpr int kScreenHeight = 480;
inline constexpr std::size_t FrameBytes = kScreenWidth / 8 * kScreenHeight;

inline constexpr std::size_t kCommandBufferSize = 512;
inline constexpr char kFrameHeaderPrefix[] = "pixels: ";

// The rows that the pages, the hub and the reference screens name.
inline constexpr int kColorChoices = SettingNamed("color").choices;
inline constexpr int kBrightnessChoices = SettingNamed("brightness").choices;
inline constexpr std::uint8_t kStripesFill = PatternFill("stripes");
inline constexpr std::uint8_t kClearFill = PatternFill("clear");

inline constexpr char kPortNotOpen[] = "错误：串口未打开。";

// The module's configuration commands and the frame exchange, over the open link.
class ModuleCommands {
public:
    ModuleCommands(serial::SerialLink& link, serial::LogSink& log) : m_link(link), m_log(log) {}

    // Sends "<prefix><value>\n" and logs the reply; with no port open, logs the error only.
    // A write that fails (logged by the link) ends the command before its read.
    void SendCommand(const char* prefix, int value);

    // Sends the whole-screen header, reads its reply, lets `fill_frame` write the frame
    // into `buffer`, sends those bytes and reads the final reply. `buffer` is the action's
    // one frame buffer and must hold FrameBytes. With no port open, logs the error and
    // returns false without calling `fill_frame`. An exception from `fill_frame` ends the
    // exchange before the payload. A write that fails ends it too, and gives false.
    bool ExchangeFrame(std::span<std::uint8_t> buffer,
                       const std::function<void(std::span<std::uint8_t>)>& fill_frame);

    // The same exchange in two steps, for a caller that builds its frame between them.
    // SendFrameHeader sends the whole-screen header and reads its reply; with no port open
    // it logs the error and gives false, as a write that fails does.
    bool SendFrameHeader();
    // Sends the frame's FrameBytes bytes and reads the final reply, noting whether one came.
    // A write that fails gives false.
    bool SendFramePayload(std::span<const std::uint8_t> frame);

    // The last SendCommand, ExchangeFrame or SendFramePayload got its bytes out, but no
    // reply came to them (for a frame: no final reply after its payload), so that a caller
    // can tell a module that did the work from one that is not there to do it.
    bool LastReplyMissing() const { return m_reply_missing; }

private:
    void LogPortNotOpen() { m_log.LogLine(kPortNotOpen); }
    // The steps on `scratch`, FrameBytes long, which holds the header's text and the replies.
    bool SendHeaderUsing(std::span<std::uint8_t> scratch);
    bool SendPayloadUsing(std::span<const std::uint8_t> frame, std::span<std::uint8_t> scratch);
    std::span<std::uint8_t> ReplyScratch();

    serial::SerialLink& m_link;
    serial::LogSink& m_log;
    bool m_reply_missing = false;
    // The two-step exchange's room for the header's text and the replies, as large as the
    // frame buffer ExchangeFrame reads them into, so that the link's reads wait alike.
    std::vector<std::uint8_t> m_reply_scratch;
};

}  // namespace protocol
