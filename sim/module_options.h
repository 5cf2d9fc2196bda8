#pragma once

#include <chrono>
#include <string>

namespace sim {

// What the module sends back when the host's line runs at another speed than its own.
enum class WrongSpeedMode {
    Silent,  // nothing
    Noise,   // a few garbled bytes, never a line feed
};

// How the simulated module behaves. The defaults are a healthy module just powered up;
// every other setting is a fault that tests switch on.
struct ModuleOptions {
    int start_baud = 2400;
    bool pace = true;  // take and send bytes no faster than the line would
    // A pseudo-terminal lets the host's write return as soon as the rest fits in its buffer
    // (about 20 KB), and time the module then spends taking the bytes in falls into the
    // host's wait for the reply, which times out after about 100 ms. So with pace a frame's
    // payload holds the line for its whole wire time before the module takes it: the
    // host's write waits out that time, as on a wire. Command lines are short enough to be
    // buffered whole and are taken at once, unless this is set: then every chunk is taken
    // at line speed, and at 2,400 bit/s a hello's wire time outlasts the host's time-out.
    bool pace_lines = false;
    WrongSpeedMode wrong_speed = WrongSpeedMode::Silent;
    bool silent = false;                   // never answers anything
    bool refuse_speed_change = false;      // a hello asking for a new speed gets no mark
    bool mute_after_speed_change = false;  // changes speed, then answers nothing more
    // Does what a setting or a frame asks without saying so: only hellos, frame headers and
    // errors are answered.
    bool no_acknowledge = false;
    bool nul_before_line_feed = false;  // every reply ends in "\0\n"
    std::string reply_prefix;           // put before every reply, may contain '\0'
    int split_chunks = 1;               // >1: each reply written in this many chunks
    int split_gap_ms = 0;               // pause between chunks
    long hang_up_after_bytes = -1;      // <0: never
    // Answers a frame header, then never reads the line again: the host's payload fills
    // the pseudo-terminal's buffer and its write blocks.
    bool stall_after_header = false;
    // A USB adapter's latency timer: a reply shorter than the adapter's packet reaches the
    // host only when the timer next runs out, every this many ms (16 by default on FTDI
    // chips, 1 with low latency). 0: at once, as a built-in port.
    int adapter_latency_ms = 0;
    std::string screen_png;       // empty: no PNG
    std::string transcript_path;  // empty: memory only
    std::string link_path;        // empty: no symlink to the slave
    // A frame whose payload stalls this long is abandoned, so that a host that gave up
    // halfway does not leave the module swallowing its next commands as pixels. <=0: never.
    int payload_timeout_ms = 3000;
};

// One step of the conversation, in the order it happened.
struct TranscriptEntry {
    enum class From { Host, Module } from;
    int baud;           // the speed this entry travelled at (the host's for received bytes)
    std::string bytes;  // raw bytes, line feed included; a summary text for a payload
    enum class Kind {
        Line,     // a host line the module understood the bytes of
        Payload,  // a frame payload, summarised
        Garbage,  // host bytes the module dropped (wrong speed, overlong or cut-off line)
        Reply,    // a reply the module sent
        Noise,    // garbled bytes the module sent
    } kind = Kind::Line;
    // Host bytes: when the entry's first byte was taken off the line (for a payload its
    // first payload byte; for one abandoned before any byte came, when it was given up).
    // Module bytes: when the last byte went out, set just after; the clock's epoch until
    // then, and for good if it never went (stopped, hung up, or not taken off the line).
    std::chrono::steady_clock::time_point timestamp{};
};

}  // namespace sim
