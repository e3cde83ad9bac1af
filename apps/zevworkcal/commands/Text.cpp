// zevworkcal text: prints what the text lookup shows for a source text.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>

#include "host/MMTS.hpp"

namespace zev::cli::commands {

namespace {
struct TextOptions {
    std::string text;
};
}  // namespace

Command Text(CLI::App& program) {
    auto o = std::make_shared<TextOptions>();
    CLI::App* app = program.add_subcommand("text", "print the text shown for a source text");
    app->add_option("TEXT", o->text, "source text")->required();
    return {app, [o](Session& s) {
                s.out.Line(host::MMTS::LoadLocalText(o->text, 0));
                return kOk;
            }};
}

}  // namespace zev::cli::commands
