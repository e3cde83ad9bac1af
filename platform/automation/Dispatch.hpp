#pragma once
// Calls by member name or DISPID with Variant arguments. An object that answers them
// publishes a table of its members (name, DISPID, kind, parameter count); the checks that
// do not depend on the object (unknown member, wrong kind, wrong argument count) are made
// here, before the object sees the call.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/automation/ComError.hpp"
#include "platform/automation/Variant.hpp"

namespace zev::automation {

using DispId = int32_t;

enum class MemberKind : uint8_t { Method, PropertyGet, PropertyPut };

// How a caller asks for a member; callers may combine them (a Basic host reads a value
// with Method | PropertyGet).
enum InvokeFlags : uint16_t {
    kInvokeMethod = 1,
    kInvokePropertyGet = 2,
    kInvokePropertyPut = 4,
};

struct Member {
    std::string_view Name;
    DispId Id = 0;
    MemberKind Kind = MemberKind::Method;
    // The number of arguments; a put counts its value.
    int ParamCount = 0;
};

// Why a call was refused before it reached the object.
enum class DispatchFault : uint8_t {
    UnknownName,    // no member has the name
    UnknownMember,  // no member has the DISPID
    WrongKind,      // the member exists, but not as a method / get / put as asked
    BadArgCount,    // the member takes another number of arguments
};

class DispatchError : public ComError {
  public:
    DispatchError(DispatchFault fault, int32_t number, std::string description)
        : ComError(number, kRuntimeSource, std::move(description)), fault_(fault) {}
    DispatchFault Fault() const noexcept { return fault_; }

  private:
    DispatchFault fault_;
};

// A class's members. A property with a get and a put has two entries with one DISPID.
class MemberTable {
  public:
    explicit constexpr MemberTable(std::span<const Member> members) : members_(members) {}

    std::span<const Member> Members() const { return members_; }
    // The first entry with the name, compared without regard to (ASCII) case.
    const Member* FindByName(std::string_view name) const noexcept;
    // The DISPID of a name; DispatchError UnknownName (438) when no member has it.
    DispId IdOfName(std::string_view name) const;
    // The entry with the DISPID whose kind `flags` allow. DispatchError UnknownMember
    // (438) when no entry has the DISPID, WrongKind (383 for a put on a property without
    // one, 394 for a get on a property without one, 438 otherwise) when none fits.
    const Member& Resolve(DispId id, uint16_t flags) const;

  private:
    std::span<const Member> members_;
};

// An object that answers calls by DISPID.
class IDispatchTarget {
  public:
    virtual ~IDispatchTarget() = default;
    virtual const MemberTable& Members() const = 0;
    // Runs a member of the table with exactly its parameter count of arguments, in
    // declaration order, a put's value last. Returns Empty for members without a result.
    virtual Variant InvokeMember(const Member& member, std::span<const Variant> args) = 0;
};

// Checks the call against the target's table and runs it. Failures of the checks are
// DispatchErrors; the member's own failures pass through unchanged.
Variant Invoke(IDispatchTarget& target, DispId id, uint16_t flags,
               std::span<const Variant> args = {});
Variant CallByName(IDispatchTarget& target, std::string_view name, uint16_t flags,
                   std::span<const Variant> args = {});

}  // namespace zev::automation
