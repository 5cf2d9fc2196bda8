#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// What lcdctl needs of the console and the process, one file per platform.
namespace cli {

bool IsTerminal(std::FILE* stream);

// Ctrl-C (and a polite kill) only set a flag: the frame on the line is finished first.
void CatchInterrupts();
bool Interrupted();

// Standard input and output carry bytes, not text.
void UseBinaryStdio();

// Reads standard input until `count` bytes have come, the input ends, `stop` is set or
// Ctrl-C comes; the count read.
std::size_t ReadInput(std::uint8_t* buffer, std::size_t count, const std::atomic<bool>& stop);

}  // namespace cli
