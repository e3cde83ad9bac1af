// Variant (Variant.hpp): its types and the Basic conversions; private: reading numbers
// and dates from text as Basic reads them.
#include "platform/automation/Variant.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::automation {

struct VariantAccess {
    static const auto& Value(const Variant& v) { return v.value_; }
};

namespace {

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

// Reads a hexadecimal (&H) or octal (&O) literal; `s` starts after the "&".
std::optional<double> ParseRadix(std::string_view s) {
    if (s.empty()) return std::nullopt;
    int base = 0;
    if (s[0] == 'H' || s[0] == 'h') base = 16;
    if (s[0] == 'O' || s[0] == 'o') base = 8;
    if (base == 0 || s.size() < 2 || s.size() > 9) return std::nullopt;
    uint64_t value = 0;
    for (char c : s.substr(1)) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0 || digit >= base) return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    // Basic reads &H literals as signed 16- or 32-bit values.
    if (s.size() - 1 <= 4 && base == 16) return static_cast<double>(static_cast<int16_t>(value));
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

// A whole text that is a number (blanks around it allowed); nullopt otherwise.
std::optional<double> ParseNumber(std::string_view text) {
    std::string_view s = Trim(text);
    if (s.empty()) return std::nullopt;
    if (s[0] == '&') return ParseRadix(s.substr(1));
    size_t i = 0;
    if (s[i] == '+' || s[i] == '-') ++i;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    const std::string copy(s);
    const double d = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

double StringToDouble(const std::string& s) {
    if (auto d = ParseNumber(s)) return *d;
    if (EqualsNoCase(Trim(s), "True")) return -1.0;
    if (EqualsNoCase(Trim(s), "False")) return 0.0;
    Raise(errors::kTypeMismatch);
}

}  // namespace

VarType Variant::Type() const {
    switch (value_.index()) {
        case 0:
            return VarType::Empty;
        case 1:
            return VarType::Null;
        case 2:
            return VarType::Boolean;
        case 3:
            return VarType::Integer;
        case 4:
            return VarType::Long;
        case 5:
            return VarType::Double;
        case 6:
            return VarType::Date;
        case 7:
            return VarType::String;
        default:
            return VarType::Object;
    }
}

bool Variant::IsNumeric() const {
    switch (Type()) {
        case VarType::Boolean:
        case VarType::Integer:
        case VarType::Long:
        case VarType::Double:
            return true;
        default:
            return false;
    }
}

const std::string& Variant::StringRef() const {
    if (const auto* s = std::get_if<std::string>(&value_)) return *s;
    Raise(errors::kTypeMismatch);
}

const ObjectPtr& Variant::ObjectRef() const {
    if (const auto* o = std::get_if<ObjectPtr>(&value_)) return *o;
    Raise(errors::kTypeMismatch);
}

int32_t RoundToLong(double d) {
    if (!std::isfinite(d)) Raise(errors::kOverflow);
    const double r = std::nearbyint(d);  // the default rounding mode is half to even
    if (r < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        r > static_cast<double>(std::numeric_limits<int32_t>::max()))
        Raise(errors::kOverflow);
    return static_cast<int32_t>(r);
}

double CDbl(const Variant& v) {
    return std::visit(Overloaded{
                          [](std::monostate) -> double { return 0.0; },
                          [](Variant::NullTag) -> double { Raise(errors::kInvalidUseOfNull); },
                          [](Variant::BoolValue b) -> double { return b.value; },
                          [](int16_t i) -> double { return i; },
                          [](int32_t i) -> double { return i; },
                          [](double d) -> double { return d; },
                          [](Variant::DateValue d) -> double { return d.value; },
                          [](const std::string& s) -> double { return StringToDouble(s); },
                          [](const ObjectPtr&) -> double { Raise(errors::kTypeMismatch); },
                      },
                      VariantAccess::Value(v));
}

int32_t CLng(const Variant& v) {
    if (const auto* i = std::get_if<int32_t>(&VariantAccess::Value(v))) return *i;
    return RoundToLong(CDbl(v));
}

int16_t CInt(const Variant& v) {
    const int32_t l = CLng(v);
    if (l < std::numeric_limits<int16_t>::min() || l > std::numeric_limits<int16_t>::max())
        Raise(errors::kOverflow);
    return static_cast<int16_t>(l);
}

double CDate(const Variant& v) {
    const auto& value = VariantAccess::Value(v);
    if (const auto* d = std::get_if<Variant::DateValue>(&value)) return d->value;
    if (const auto* s = std::get_if<std::string>(&value)) {
        if (auto d = ParseIsoDate(Trim(*s))) return *d;
        Raise(errors::kTypeMismatch);
    }
    const double d = CDbl(v);
    if (!IsValidOleDate(d)) Raise(errors::kOverflow);
    return d;
}

std::string NumberText(double d) {
    if (d == std::trunc(d) && std::fabs(d) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", d);
        return std::string(buf) == "-0" ? "0" : buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    return buf;
}

std::string CStr(const Variant& v) {
    return std::visit(
        Overloaded{
            [](std::monostate) -> std::string { return {}; },
            [](Variant::NullTag) -> std::string { Raise(errors::kInvalidUseOfNull); },
            [](Variant::BoolValue b) -> std::string { return b.value ? "True" : "False"; },
            [](int16_t i) -> std::string { return std::to_string(i); },
            [](int32_t i) -> std::string { return std::to_string(i); },
            [](double d) -> std::string { return NumberText(d); },
            [](Variant::DateValue d) -> std::string { return FormatIsoAuto(d.value); },
            [](const std::string& s) -> std::string { return s; },
            [](const ObjectPtr&) -> std::string { Raise(errors::kTypeMismatch); },
        },
        VariantAccess::Value(v));
}

bool CBool(const Variant& v) {
    return CDbl(v) != 0.0;
}

double Val(std::string_view text) {
    // Collect the characters of the leading number, skipping blanks anywhere.
    std::string number;
    size_t i = 0;
    auto skip = [&] {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
    };
    skip();
    if (i < text.size() && text[i] == '&') {
        std::string radix;
        ++i;
        while (i < text.size() && radix.size() < 12 &&
               (std::isalnum(static_cast<unsigned char>(text[i])) != 0)) {
            radix += text[i++];
        }
        // Only the leading valid digits count.
        for (size_t n = radix.size(); n >= 2; --n) {
            if (auto d = ParseRadix(std::string_view(radix).substr(0, n))) return *d;
        }
        return 0.0;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    bool seenDot = false;
    bool seenDigit = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsBlank(c)) continue;
        if (c >= '0' && c <= '9') {
            number += c;
            seenDigit = true;
        } else if (c == '.' && !seenDot) {
            number += c;
            seenDot = true;
        } else {
            break;
        }
    }
    if (!seenDigit) return 0.0;
    // An exponent counts only when digits follow it.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        size_t j = i + 1;
        std::string exponent = "e";
        while (j < text.size() && IsBlank(text[j]))
            ++j;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        bool expDigit = false;
        for (; j < text.size(); ++j) {
            if (IsBlank(text[j])) continue;
            if (text[j] < '0' || text[j] > '9') break;
            exponent += text[j];
            expDigit = true;
        }
        if (expDigit) number += exponent;
    }
    const double d = std::strtod(number.c_str(), nullptr);
    return std::isfinite(d) ? d : 0.0;
}

double Val(const Variant& v) {
    if (v.IsNull()) Raise(errors::kInvalidUseOfNull);
    return Val(std::string_view(CStr(v)));
}

Variant EqualsText(const Variant& v, std::string_view text) {
    switch (v.Type()) {
        case VarType::Null:
            return Variant::Null();
        case VarType::Empty:
            return Variant(text.empty());
        case VarType::String:
            return Variant(v.StringRef() == text);
        case VarType::Date: {
            const auto d = ParseIsoDate(Trim(text));
            if (!d) Raise(errors::kTypeMismatch);
            return Variant(CDate(v) == *d);
        }
        case VarType::Object:
            Raise(errors::kTypeMismatch);
        default:
            return Variant(CDbl(v) == StringToDouble(std::string(text)));
    }
}

}  // namespace zev::automation
