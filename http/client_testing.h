// Test-only controls of the HTTP client backends. Production code never calls these: the program reads no
// configuration, and with nothing set every backend connects where the URL says and keeps its usual limits.
//
//   http_testing_connect_to("www.example.test", 443, "127.0.0.1", server.https_port());
//   ByteSet page = web_fetch(Text("https://www.example.test/x"));   // served by the local server
#pragma once

#include <cstdint>
#include <string>

// Connections to host:port go to to_host:to_port instead. The request still names the original host:
// the Host header and, for HTTPS, the name sent in the TLS handshake. Applies to every hop of a redirect.
void http_testing_connect_to(std::string host, uint16_t port, std::string to_host, uint16_t to_port);
// Forgets every mapping made by http_testing_connect_to.
void http_testing_clear_connect_to();

// The limits after which a request gives up: a connection not made within `connect_seconds`, or
// `stall_seconds` without a byte. Both are 30 unless a test shortens them.
void http_testing_set_timeouts(int32_t connect_seconds, int32_t stall_seconds);
