// zevworkcal text: prints what the text lookup shows for a source text.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>

#include "host/MMTS.hpp"
#include "platform/automation/Utf8.hpp"

namespace zev::cli::commands {

namespace {
struct TextOptions {
    std::string text;
};
}  // namespace

Command Text(CLI::App& program) {
    auto o = std::make_shared<TextOptions>();
    CLI::App* app = program.add_subcommand("text", "显示一段源文本在所选语言中的文本");
    app->add_option("TEXT", o->text, "源文本（中文）")->required();
    return {app,
            [o](Session& s) {
                // The text may be any argument: its control characters are escaped.
                s.out.Line(automation::EscapeControls(host::MMTS::LoadLocalText(o->text, 0)));
                return kOk;
            },
            "--lang en text 工厂日历"};
}

}  // namespace zev::cli::commands
