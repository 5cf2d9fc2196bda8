#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "cli/terminal.h"

namespace cli {

namespace {

volatile LONG g_interrupted = 0;

BOOL WINAPI NoteInterrupt(DWORD event) {
    InterlockedExchange(&g_interrupted, 1);
    if (event == CTRL_CLOSE_EVENT) {
        // The system ends the process as soon as this returns, and after five seconds
        // anyway: the time between lets the frame on the line finish and main return.
        Sleep(4000);
    }
    return TRUE;
}

}  // namespace

bool IsTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

void CatchInterrupts() {
    SetConsoleCtrlHandler(NoteInterrupt, TRUE);
}

bool Interrupted() {
    return g_interrupted != 0;
}

void UseBinaryStdio() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

std::size_t ReadInput(std::uint8_t* buffer, std::size_t count, const std::atomic<bool>& stop) {
    std::size_t got = 0;
    while (got < count && !stop && !Interrupted()) {
        const std::size_t n = std::fread(buffer + got, 1, count - got, stdin);
        if (n == 0) {
            break;
        }
        got += n;
    }
    return got;
}

}  // namespace cli
