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
// accessors are thread-safe. With pacing on, it takes bytes in and sends replies at line
// speed, one direction at a time (replies are short and come between the host's lines).
class PtyModule {
public:
    // Creates the pseudo-terminal (and the symlink and transcript file, when asked for);
    // throws std::runtime_error on failure.
    explicit PtyModule(ModuleOptions options);
    ~PtyModule();  // stops the thread, closes everything, removes the symlink
    PtyModule(const PtyModule&) = delete;
    PtyModule& operator=(const PtyModule&) = delete;

    const std::string& SlavePath() const;
    void Start();
    void Stop();

    // The module's current speed on the line; a change shows only once the reply that
    // accepted it has gone out.
    int Baud() const;
    // Frames completed, each counted once its screen image (if any) has been written.
    int FramesReceived() const;
    // The screen memory after the last frame (for a whole-screen frame, exactly its
    // 28,800 payload bytes); empty before the first frame.
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
