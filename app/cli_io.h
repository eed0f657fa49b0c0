// The command-line tool's console seam: how arguments and input lines become Texts, how UTF-8 output
// reaches the terminal or a redirected file, and the pauses between lookups. One backend per platform.
//
//   cli_write(CliStream::out, "id,status\r\n");
#pragma once

#include <string>
#include <string_view>

#include "text/types.h"

enum class CliStream { out, err };

// An argument or input line as a code page 936 Text (arguments and input arrive in the platform's encoding).
Text cli_text_from_input(std::string_view bytes);
// Writes UTF-8 bytes; a console shows them as characters, a file or pipe receives them unchanged.
void cli_write(CliStream stream, std::string_view utf8);
bool cli_is_terminal(CliStream stream);
void cli_sleep_ms(long long milliseconds);
