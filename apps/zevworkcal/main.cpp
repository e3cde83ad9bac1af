#include <string>
#include <vector>

#include "apps/zevworkcal/Cli.hpp"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return zev::cli::Run(args);
}
