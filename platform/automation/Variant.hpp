#pragma once
// Variant: the value type of automation calls and result-set fields, with the Basic
// conversions the component relies on and their failures (13 type mismatch, 6 overflow,
// 94 invalid use of Null).

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "platform/automation/Object.hpp"

namespace zev::automation {

// Booleans are 16-bit: true is -1, false 0.
using VBool = int16_t;
inline constexpr VBool kTrue = -1;
inline constexpr VBool kFalse = 0;
inline constexpr VBool ToVBool(bool b) {
    return b ? kTrue : kFalse;
}

// Type codes as automation numbers them.
enum class VarType : uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2,  // 16-bit
    Long = 3,     // 32-bit
    Double = 5,
    Date = 7,
    String = 8,
    Object = 9,
    Boolean = 11,
};

class Variant {
  public:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct BoolValue {
        VBool value;
        bool operator==(const BoolValue&) const = default;
    };
    struct DateValue {
        double value;
        bool operator==(const DateValue&) const = default;
    };

    Variant() = default;
    Variant(NullTag) : value_(NullTag{}) {}
    Variant(bool b) : value_(BoolValue{ToVBool(b)}) {}
    Variant(int16_t i) : value_(i) {}
    Variant(int32_t i) : value_(i) {}
    Variant(double d) : value_(d) {}
    Variant(std::string s) : value_(std::move(s)) {}
    Variant(std::string_view s) : value_(std::string(s)) {}
    Variant(const char* s) : value_(std::string(s)) {}
    Variant(ObjectPtr o) : value_(std::move(o)) {}

    static Variant Null() { return Variant(NullTag{}); }
    static Variant FromDate(double oleDate) {
        Variant v;
        v.value_ = DateValue{oleDate};
        return v;
    }
    static Variant FromVBool(VBool b) {
        Variant v;
        v.value_ = BoolValue{b};
        return v;
    }

    VarType Type() const;
    bool IsEmpty() const { return Type() == VarType::Empty; }
    bool IsNull() const { return Type() == VarType::Null; }
    bool IsObject() const { return Type() == VarType::Object; }
    bool IsString() const { return Type() == VarType::String; }
    bool IsNumeric() const;

    // Direct access to the stored value; each asserts its type with error 13.
    const std::string& StringRef() const;
    const ObjectPtr& ObjectRef() const;

    bool operator==(const Variant& other) const { return value_ == other.value_; }

  private:
    friend struct VariantAccess;
    std::variant<std::monostate, NullTag, BoolValue, int16_t, int32_t, double, DateValue,
                 std::string, ObjectPtr>
        value_;
};

// Conversions, named as Basic names them.
int32_t CLng(const Variant& v);      // 94 Null, 13 not a number, 6 outside 32 bits
int16_t CInt(const Variant& v);      // the same for 16 bits
double CDbl(const Variant& v);       // 94 Null, 13 not a number
double CDate(const Variant& v);      // 94 Null, 13 not a date
std::string CStr(const Variant& v);  // 94 Null
bool CBool(const Variant& v);        // 94 Null, 13 not a truth value

// The number at the start of a text: leading blanks skipped, 0 when the text does not
// begin with a number. Blanks inside the number are skipped as well ("1 2" reads 12).
double Val(std::string_view text);
double Val(const Variant& v);  // 94 for Null
inline double Val(const std::string& text) {
    return Val(std::string_view(text));
}
inline double Val(const char* text) {
    return Val(std::string_view(text));
}

// Basic's `=` between a value and a text: Null when the value is Null, so that testing
// the result as a condition fails with 94; otherwise a Boolean.
Variant EqualsText(const Variant& v, std::string_view text);

// Rounds half to even and checks the range, as Basic's integer conversions do.
int32_t RoundToLong(double d);

// Decimal text of a number as Basic writes it ("5", "-5", "2.5").
std::string NumberText(double d);

}  // namespace zev::automation
