#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// What lcdctl needs of the console and the process, one file per platform.
namespace cli {

bool IsTerminal(std::FILE* stream);

// Ctrl-C, a polite kill and a hang-up only set a flag: the frame on the line is finished
// first, and the port released. A reader that went away (lcdctl ports | head -1) shows as
// a failed write instead of ending the process with the port still held.
void CatchInterrupts();
bool Interrupted();

// Writes to standard output. A reader that went away ends the output: this write and
// every later one are skipped and count as done. False on any other failure.
bool WriteOutput(const void* data, std::size_t size);

// Standard input and output carry bytes, not text.
void UseBinaryStdio();

// Reads standard input until `count` bytes have come, the input ends, `stop` is set or
// Ctrl-C comes; the count read.
std::size_t ReadInput(std::uint8_t* buffer, std::size_t count, const std::atomic<bool>& stop);

}  // namespace cli
