#include "suite/AppConnection.hpp"

#include <strings.h>

#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "platform/data/SqliteConnection.hpp"

namespace zev::suite {
namespace {
constexpr const char* kSource = "ZevConnection.AppConnection";
}

data::ConnectionPtr OpenFromProperties(const std::string& provider, const std::string& source) {
    if (source.empty()) {
        throw automation::ComError(automation::errors::kUnspecified, kSource,
                                   automation::MarkedText("属性串中没有指定数据库"));
    }
    if (provider.empty() || strcasecmp(provider.c_str(), "SQLite") == 0) {
        return data::OpenSqlite(source, data::OpenMode::Existing);
    }
    if (strcasecmp(provider.c_str(), "ODBC") == 0) return data::OpenOdbc(source);
    throw automation::ComError(automation::errors::kUnspecified, kSource,
                               automation::MarkedText("不支持的数据库类型", ": " + provider));
}

void RegisterAppConnection() {
    automation::RegisterFactory(host::progid::kAppConnection, []() -> automation::ObjectPtr {
        return OpenFromProperties(host::MMTS::GetPropsValue("Provider"),
                                  host::MMTS::GetPropsValue("Data Source"));
    });
}

}  // namespace zev::suite
