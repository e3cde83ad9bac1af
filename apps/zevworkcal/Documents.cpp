// zevworkcal_documents: writes the manual page or the bash completion of zevworkcal,
// made from the program's own parser in English, at build time.
//   zevworkcal_documents man FILE | completion FILE

#include <cstdio>
#include <fstream>
#include <string>

#include "apps/zevworkcal/Command.hpp"
#include "apps/zevworkcal/Help.hpp"
#include "suite/Register.hpp"
#include "suite/ShareProps.hpp"

int main(int argc, char** argv) {
    using namespace zev;
    const std::string what = argc == 3 ? argv[1] : "";
    if (what != "man" && what != "completion") {
        std::fprintf(stderr, "usage: zevworkcal_documents man|completion FILE\n");
        return 2;
    }
    suite::RegisterSuite();
    suite::SetProcessProperty("PropsString", "Language=en;");
    const auto parser = cli::MakeProgramParser();
    const std::string text = what == "man"
                                 ? cli::ManualPage(parser->app, parser->commands, ZEV_VERSION)
                                 : cli::BashCompletion(parser->app, parser->commands);
    std::ofstream out(argv[2], std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "zevworkcal_documents: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
