// netcmd: the network commands the toolkit runs captured, for systems that do
// not have them. Usage and exit codes: cli.h.
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return netcmd::RunNetcmd(args, std::cout, std::cerr);
}
