// MMTS, the property services: GetConnectionProperty, GetPropsString and the reading of
// the connection property string (CutToken, NextPropKey, NextPropValue, PropsValueOf,
// GetPropsValue).

#include "host/MMTS.hpp"
#include "platform/automation/AsciiText.hpp"

#include <unistd.h>

#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::host::MMTS {

using automation::ComError;
using automation::Variant;

namespace {

constexpr const char* kPropertySource = "ZevShopRpt.MMTS.GetConnectionProperty";

// Spaces only, as the property string is read.
std::string TrimSpaces(std::string_view s) {
    return std::string(automation::Trim(s, " "));
}

}  // namespace

Variant GetConnectionProperty(const std::string& name) {
    try {
        int32_t processId = static_cast<int32_t>(::getpid());
        std::string propertyName = name;
        auto manager = automation::CreateObjectAs<IShareProps>(progid::kShareProps);
        // The manager is asked twice: once to learn whether the property is an object,
        // once for the value returned.
        Variant first = manager->GetProperty(processId, propertyName);
        (void)first;
        return manager->GetProperty(processId, propertyName);
    } catch (...) {
        const ComError inner = automation::CurrentExceptionAsError();
        automation::ErrorInfo info = inner.Info();
        info.Source = std::string(kPropertySource) + "\r\n" + inner.Source();
        throw ComError(std::move(info));
    }
}

std::string GetPropsString() {
    return automation::CStr(GetConnectionProperty("PropsString"));
}

std::string CutToken(std::string& text, std::string_view separator) {
    try {
        if (text.empty()) return {};
        const size_t at = automation::FindNoCase(text, separator);
        if (at == std::string_view::npos) {
            std::string whole = std::move(text);
            text.clear();
            return whole;
        }
        std::string first = text.substr(0, at);
        text.erase(0, at + separator.size());
        return first;
    } catch (...) {
        text.clear();
        return {};
    }
}

std::string NextPropKey(std::string& text) {
    return TrimSpaces(CutToken(text, "="));
}

std::string NextPropValue(std::string& text) {
    text = TrimSpaces(text);
    std::string value;
    if (!text.empty() && text.front() == '{') {
        text.erase(0, 1);
        value = CutToken(text, "}");
        CutToken(text, ";");
    } else {
        value = CutToken(text, ";");
    }
    return TrimSpaces(value);
}

std::string PropsValueOf(std::string props, std::string_view name) {
    try {
        const std::string wanted = automation::UpperAscii(name);
        for (;;) {
            const std::string key = NextPropKey(props);
            std::string value = NextPropValue(props);
            // An empty key ends the reading; its value belongs to no key asked for, not
            // even to an empty name.
            if (key.empty()) return {};
            if (automation::UpperAscii(key) == wanted) return value;
        }
    } catch (...) {
        return {};
    }
}

std::string GetPropsValue(std::string_view name) {
    std::string props;
    try {
        props = GetPropsString();
    } catch (...) {
        props.clear();
    }
    return PropsValueOf(std::move(props), name);
}

}  // namespace zev::host::MMTS
