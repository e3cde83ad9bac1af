// zevworkcal generate: writes the calendar from START up to the day before END through
// the suite's calendar generator.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>

#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::cli::commands {

namespace {

using host::MMTS::LoadLocalText;

struct GenerateOptions {
    std::string start;
    std::string end;
    bool saturdayWork = false;
    bool sundayWork = false;
    bool replace = false;
};

int RunGenerate(const GenerateOptions& o, Session& s) {
    double start = ParseDateArgument(o.start);
    double end = ParseDateArgument(o.end);
    RequireSchema();
    if (!o.replace) {
        if (!ScalarText(*AppConnection(), "SELECT MIN(FDay) FROM t_WorkCalendar").empty()) {
            throw UsageError(
                LoadLocalText("工厂日历已经存在；要重新生成并丢弃其中的置换，请加 --replace"));
        }
    }
    automation::VBool satNotWork = automation::ToVBool(!o.saturdayWork);
    automation::VBool sunNotWork = automation::ToVBool(!o.sundayWork);
    std::string errorText;
    auto generator = automation::CreateObjectAs<host::IWorkCal>(host::progid::kWorkCal);
    const automation::Variant ok = generator->InitCal(host::MMTS::GetPropsString(), start, end,
                                                      satNotWork, sunNotWork, errorText);
    if (!automation::CBool(ok)) {
        throw automation::ComError(automation::errors::kUnspecified, host::progid::kWorkCal.data(),
                                   errorText);
    }
    std::fprintf(s.out, "%s\n", LoadLocalText("工厂日历已生成").c_str());
    return kOk;
}

}  // namespace

Command Generate(CLI::App& program) {
    auto o = std::make_shared<GenerateOptions>();
    CLI::App* app = program.add_subcommand(
        "generate", "generate the calendar from START up to the day before END");
    app->add_option("START", o->start, "first day, YYYY-MM-DD")->required();
    app->add_option("END", o->end, "the day after the last day, YYYY-MM-DD")->required();
    app->add_flag("--saturday-work", o->saturdayWork, "Saturdays are work days");
    app->add_flag("--sunday-work", o->sundayWork, "Sundays are work days");
    app->add_flag("--replace", o->replace, "replace a calendar that exists");
    return {app, [o](Session& s) { return RunGenerate(*o, s); }};
}

}  // namespace zev::cli::commands
