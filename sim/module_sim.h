#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/module_options.h"

namespace sim {

// FNV-1a over the bytes: the fingerprint FrameHashes() keeps.
std::uint64_t FrameHash(std::span<const std::uint8_t> bytes);

// The simulated LCD module on a pseudo-terminal: the host opens SlavePath() as its serial
// port. The module is served by a background thread between Start() and Stop(); all
// methods are thread-safe. With pacing on, it takes bytes in and sends replies at line
// speed, one direction at a time (replies are short and come between the host's lines).
class PtyModule {
public:
    // Creates the pseudo-terminal (and the symlink and transcript file, when asked for);
    // throws std::runtime_error on failure.
    explicit PtyModule(ModuleOptions options);
    ~PtyModule();  // stops the thread, closes everything, removes the symlink
    PtyModule(const PtyModule&) = delete;
    PtyModule& operator=(const PtyModule&) = delete;

    // The current port: a new one after each Replug().
    std::string SlavePath() const;
    void Start();
    void Stop();

    // The module resets behind a port that stays: it comes back at its start speed, with
    // the settings and the blank screen of power-up and nothing half received. The records
    // (transcript, frames received) carry on.
    void PowerCycle();
    // The port vanishes as a USB adapter pulled out does: the host's open descriptor is hung
    // up (POLLHUP, EIO) and the link path removed. The module loses power with it.
    void Unplug();
    // Plugged in again (unplugged first if it still was): a new pseudo-terminal, the link
    // path pointed at it, and the module, at power-up, served on it if started.
    void Replug();

    // The module's current speed on the line; a change shows only once the reply that
    // accepted it has gone out. The start speed while unplugged.
    int Baud() const;
    // Frames completed, each counted once its screen image (if any) has been written.
    int FramesReceived() const;
    // The screen memory after the last frame (for a whole-screen frame, exactly its
    // 28,800 payload bytes); empty before the first frame since power-up.
    std::vector<std::uint8_t> LastFrame() const;
    // A fingerprint of every frame completed, in order (FrameHash of its screen memory):
    // enough to tell which frames came, without keeping them.
    std::vector<std::uint64_t> FrameHashes() const;
    std::vector<TranscriptEntry> Transcript() const;
    // Host lines received at the right speed, without the line feed.
    std::vector<std::string> ReceivedLines() const;
    bool WaitForFrames(int count, std::chrono::milliseconds timeout) const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace sim
