// The command-line tool's console seam on Windows.
//
// Output is UTF-8 throughout the tool. A console gets it as UTF-16 through WriteConsoleW, so the
// characters show correctly whatever the console's code page (936 on a Chinese system, 437 elsewhere);
// a redirected file or pipe receives the UTF-8 bytes unchanged, which is what a spreadsheet or a script
// reading the CSV or JSON expects.
#include <windows.h>

#include <string>

#include "app/cli_io.h"
#include "text/codepage.h"

namespace {

HANDLE cli_handle(CliStream stream) {
    return GetStdHandle(stream == CliStream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool cli_handle_is_console(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_CHAR &&
           GetConsoleMode(h, &mode) != 0;
}

void cli_write_all(HANDLE h, const char* data, size_t size) {
    while (size > 0) {
        DWORD chunk = size > 0x10000 ? 0x10000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(h, data, chunk, &written, nullptr) || written == 0) return;
        data += written;
        size -= written;
    }
}

void cli_write_console(HANDLE h, std::string_view utf8) {
    if (utf8.empty()) return;
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    const wchar_t* p = wide.data();
    DWORD left = static_cast<DWORD>(n);
    while (left > 0) {
        DWORD written = 0;
        if (!WriteConsoleW(h, p, left, &written, nullptr) || written == 0) return;
        p += written;
        left -= written;
    }
}

}  // namespace

// Arguments and input lines arrive in the ANSI code page, which need not be 936 (an English or Japanese
// system); going through UTF-16 makes them code page 936 either way.
Text cli_text_from_input(std::string_view bytes) {
    Text input(bytes);
    if (input.empty()) return input;
    return utf16_to_multibyte(multibyte_to_utf16(input, kCodePageAnsi), kCodePageGbk);
}

void cli_write(CliStream stream, std::string_view utf8) {
    HANDLE h = cli_handle(stream);
    if (cli_handle_is_console(h)) {
        cli_write_console(h, utf8);
    } else if (h != nullptr && h != INVALID_HANDLE_VALUE) {
        cli_write_all(h, utf8.data(), utf8.size());
    }
}

bool cli_is_terminal(CliStream stream) {
    return cli_handle_is_console(cli_handle(stream));
}

void cli_sleep_ms(long long milliseconds) {
    if (milliseconds <= 0) return;
    while (milliseconds > 0) {
        DWORD step = milliseconds > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(milliseconds);
        Sleep(step);
        milliseconds -= step;
    }
}
