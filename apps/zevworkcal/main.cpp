// zevworkcal's entry: the arguments to cli::Run (Cli.hpp), whose result is the exit code.
#include <string>
#include <vector>

#include "apps/zevworkcal/Cli.hpp"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return zev::cli::Run(args);
}
