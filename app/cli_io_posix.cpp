#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/cli_io.h"
#include "text/codepage.h"

// Arguments and input are UTF-8 on the desktops this build runs on.
Text cli_text_from_input(std::string_view bytes) {
    return utf8_to_local(Text(bytes));
}

void cli_write(CliStream stream, std::string_view utf8) {
    FILE* f = stream == CliStream::out ? stdout : stderr;
    fwrite(utf8.data(), 1, utf8.size(), f);
    if (stream == CliStream::err) fflush(f);
}

bool cli_is_terminal(CliStream stream) {
    return isatty(stream == CliStream::out ? STDOUT_FILENO : STDERR_FILENO) != 0;
}

void cli_sleep_ms(long long milliseconds) {
    if (milliseconds <= 0) return;
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
