// xunpan-cli as a test runs it: the same cli_main, with the HTTP client's connections for named hosts sent
// to local test servers. XP_TEST_CONNECT_TO holds "host:port:to_host:to_port" entries separated by commas.
// Only tests build this program; the shipped xunpan-cli reads no such setting.
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "http/client_testing.h"

int main(int argc, char** argv) {
    if (const char* map = std::getenv("XP_TEST_CONNECT_TO")) {
        std::stringstream entries(map);
        std::string entry;
        while (std::getline(entries, entry, ',')) {
            std::stringstream parts(entry);
            std::string host, port, to_host, to_port;
            std::getline(parts, host, ':');
            std::getline(parts, port, ':');
            std::getline(parts, to_host, ':');
            std::getline(parts, to_port, ':');
            http_testing_connect_to(host, static_cast<uint16_t>(std::stoi(port)), to_host,
                                    static_cast<uint16_t>(std::stoi(to_port)));
        }
    }
    return cli_main(std::vector<std::string>(argv + 1, argv + argc), "test");
}
