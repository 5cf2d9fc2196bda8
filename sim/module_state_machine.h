#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/module_options.h"

namespace sim {

inline constexpr int kScreenWidth = 480;
inline constexpr int kScreenHeight = 480;
inline constexpr int kRowBytes = kScreenWidth / 8;
inline constexpr std::size_t kFrameBytes = kRowBytes * kScreenHeight;  // 28,800

// Power-up state of the screen settings.
inline constexpr int kDefaultColor = 7;  // white
inline constexpr int kDefaultBrightness = 3;
inline constexpr int kDefaultLcdModel = 0;

// The slowest and fastest speed the module's UART can be moved to.
inline constexpr int kMinBaud = 300;
inline constexpr int kMaxBaud = 5000000;

// Something the module does on the line as a result of what it took in. The driver
// carries the actions out in order, before it feeds the module anything more.
struct ModuleAction {
    enum class Kind {
        Reply,        // send `bytes` at `baud`
        Noise,        // send `bytes` at `baud`; garbled output, no line structure
        ChangeSpeed,  // the UART now runs at `baud`; the preceding reply has gone out
        Redraw,       // the screen changed (a frame arrived, or its colour or brightness)
        StopReading,  // the module takes nothing more off the line (a fault)
    } kind;
    int baud = 0;
    std::string bytes;
    bool frame_completed = false;  // Redraw: a new frame was completed
    std::size_t entry = 0;         // Reply, Noise: the transcript entry of these bytes
};

// The module's firmware without any I/O or threads: it is fed the bytes that arrive
// together with the speed the host's line ran at, and answers with actions. Not
// thread-safe; the driver serialises calls.
class ModuleStateMachine {
public:
    // Longest command line the module buffers; longer ones are dropped with an error.
    static constexpr std::size_t kMaxLineLength = 256;
    // How many bytes of a run of dropped bytes the transcript keeps.
    static constexpr std::size_t kMaxGarbageRecord = 4096;

    using TimePoint = std::chrono::steady_clock::time_point;

    explicit ModuleStateMachine(ModuleOptions options);

    // Takes in a chunk that arrived while the host's line ran at `host_baud`, taken off the
    // line at `taken_at`.
    std::vector<ModuleAction> Feed(std::span<const std::uint8_t> bytes, int host_baud,
                                   TimePoint taken_at);

    // The line has gone quiet: a run of bytes at a wrong speed is over.
    std::vector<ModuleAction> LineIdle();

    // Gives up on a frame whose payload stopped coming; the partial payload is dropped.
    void AbandonFrame(TimePoint now);

    // Switched off and on again: back at the start speed with the settings and the blank
    // screen of power-up. What was half received is lost, and recorded as dropped; the
    // records (transcript, frames received) carry on.
    void PowerCycle(TimePoint now);

    // The driver has sent the bytes of transcript entry `entry`, the last of them at `at`.
    void MarkSent(std::size_t entry, TimePoint at);

    bool AwaitingPayload() const { return m_payload_expected > 0; }
    // Bytes at a wrong speed were taken in and wait for the line to go quiet.
    bool GarbagePending() const { return m_garbage_count > 0; }
    std::size_t PayloadRemaining() const { return m_payload_expected - m_payload.size(); }

    // The speed the module listens at. It changes as soon as a speed change is decided;
    // the driver applies it to the line after the reply has gone out.
    int Baud() const { return m_baud; }
    int Color() const { return m_color; }
    int Brightness() const { return m_brightness; }
    int LcdModel() const { return m_lcd_model; }
    int FramesReceived() const { return m_frames; }

    // The screen memory: 480 rows of 60 bytes, top row first, leftmost pixel in the MSB.
    const std::vector<std::uint8_t>& Screen() const { return m_screen; }
    const std::vector<TranscriptEntry>& Transcript() const { return m_transcript; }
    // Host lines taken in at the right speed, without their line feed.
    std::vector<std::string> ReceivedLines() const;

private:
    struct Rectangle {
        int x, y, width, height;
    };

    bool UnderstandsSpeed(int host_baud) const;
    std::size_t TakeWrongSpeedBytes(std::span<const std::uint8_t> bytes, int host_baud,
                                    TimePoint taken_at, std::vector<ModuleAction>& out);
    std::size_t TakePayloadBytes(std::span<const std::uint8_t> bytes, int host_baud,
                                 TimePoint taken_at, std::vector<ModuleAction>& out);
    std::size_t TakeLineBytes(std::span<const std::uint8_t> bytes, int host_baud,
                              TimePoint taken_at, std::vector<ModuleAction>& out);

    void HandleLine(const std::string& line, int host_baud, std::vector<ModuleAction>& out);
    void HandleHello(std::string_view argument, std::vector<ModuleAction>& out);
    void HandleSetting(std::string_view argument, int max_value, int& setting, const char* name,
                       bool shows_on_screen, std::vector<ModuleAction>& out);
    void HandleFrameHeader(std::string_view argument, std::vector<ModuleAction>& out);
    void FinishFrame(int host_baud, std::vector<ModuleAction>& out);
    void DropPartialLine();
    void DropPartialPayload(int host_baud, TimePoint now);
    void EndGarbageRun(std::vector<ModuleAction>& out);
    void RecordGarbageRun();

    void Reply(const std::string& text, std::vector<ModuleAction>& out);
    // Host entries carry when their first byte came; module entries get theirs once sent.
    void Record(TranscriptEntry::From from, TranscriptEntry::Kind kind, int baud, std::string bytes,
                TimePoint timestamp = {});
    std::string NextNoise();

    ModuleOptions m_options;
    int m_baud;
    int m_color = kDefaultColor;
    int m_brightness = kDefaultBrightness;
    int m_lcd_model = kDefaultLcdModel;
    int m_frames = 0;
    bool m_muted = false;
    bool m_stopped_reading = false;

    std::string m_partial_line;
    TimePoint m_line_started{};
    bool m_discarding_overlong_line = false;

    std::size_t m_payload_expected = 0;  // 0: not in a frame
    Rectangle m_payload_rect{};
    std::vector<std::uint8_t> m_payload;
    TimePoint m_payload_started{};

    std::string m_garbage;  // the current run of bytes at a wrong speed (first part)
    std::size_t m_garbage_count = 0;
    int m_garbage_baud = 0;
    TimePoint m_garbage_started{};

    std::uint32_t m_noise_state = 0x2545f491u;
    std::vector<std::uint8_t> m_screen;
    std::vector<TranscriptEntry> m_transcript;
};

// A decimal number as "%d" writes a non-negative one: digits only, at most nine of them.
std::optional<int> ParseDecimal(std::string_view text);

}  // namespace sim
