// xunpan-cli: the window's lookup for many product IDs; see app/cli.h.
#include <string>
#include <vector>

#include "app/cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return cli_main(args, XP_VERSION);
}
