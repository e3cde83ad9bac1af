// The connection stand-in (AppConnection.hpp): which database a property string names, the
// percent encoding of its data source, and the factory registered under the ProgID.
#include "suite/AppConnection.hpp"

#include <optional>

#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/OdbcConnection.hpp"

namespace zev::suite {
namespace {

constexpr const char* kSource = "ZevConnection.AppConnection";
constexpr const char* kHexDigits = "0123456789ABCDEF";

[[noreturn]] void Fail(const std::string& description) {
    throw automation::ComError(automation::errors::kUnspecified, kSource, description);
}

std::optional<int> HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const char upper = automation::UpperAscii(c);
    if (upper >= 'A' && upper <= 'F') return upper - 'A' + 10;
    return std::nullopt;
}

// A percent-encoded data source decoded. "%00" is refused: no file name or connection
// string holds a NUL, and one would cut the name short on its way to the engine.
std::string PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        const std::optional<int> high = i + 1 < text.size() ? HexValue(text[i + 1]) : std::nullopt;
        const std::optional<int> low = i + 2 < text.size() ? HexValue(text[i + 2]) : std::nullopt;
        if (!high || !low || (*high == 0 && *low == 0)) {
            Fail(automation::MarkedText("属性串中的数据源编码不对"));
        }
        decoded += static_cast<char>(*high * 16 + *low);
        i += 2;
    }
    return decoded;
}

}  // namespace

NamedDatabase DatabaseNamed(const PropsReader& valueOf) {
    NamedDatabase database{valueOf("Provider"), valueOf("Data Source")};
    const std::string encoding = valueOf("Data Source Encoding");
    if (automation::EqualsNoCase(encoding, "Percent")) {
        database.Source = PercentDecode(database.Source);
    } else if (!encoding.empty()) {
        Fail(automation::MarkedText("不支持的数据源编码",
                                    ": " + automation::EscapeControls(encoding)));
    }
    return database;
}

data::ConnectionPtr OpenDatabase(const NamedDatabase& database, data::OpenMode mode) {
    if (database.Source.empty()) Fail(automation::MarkedText("属性串中没有指定数据库"));
    if (database.Provider.empty() || automation::EqualsNoCase(database.Provider, "SQLite")) {
        return data::OpenSqlite(database.Source, mode);
    }
    if (automation::EqualsNoCase(database.Provider, "ODBC")) return data::OpenOdbc(database.Source);
    Fail(automation::MarkedText("不支持的数据库类型",
                                ": " + automation::EscapeControls(database.Provider)));
}

std::string PercentEncodeDataSource(std::string_view source) {
    const size_t first = source.find_first_not_of(' ');
    const size_t last = source.find_last_not_of(' ');
    std::string encoded;
    for (size_t i = 0; i < source.size(); ++i) {
        const auto c = static_cast<unsigned char>(source[i]);
        const bool outerSpace =
            c == ' ' && (first == std::string_view::npos || i < first || i > last);
        if (c == '%' || c == ';' || c == '{' || c == '}' || c < 0x20 || c == 0x7F || outerSpace) {
            encoded += '%';
            encoded += kHexDigits[c >> 4];
            encoded += kHexDigits[c & 0xF];
        } else {
            encoded += static_cast<char>(c);
        }
    }
    return encoded;
}

void RegisterAppConnection() {
    automation::RegisterFactory(host::progid::kAppConnection, []() -> automation::ObjectPtr {
        return OpenDatabase(DatabaseNamed(host::MMTS::GetPropsValue));
    });
}

}  // namespace zev::suite
