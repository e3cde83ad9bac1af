// Calls by name or DISPID (Dispatch.hpp): finding a member in a table and the checks made
// before the object sees the call.
#include "platform/automation/Dispatch.hpp"
#include "platform/automation/AsciiText.hpp"

#include <cstdio>

namespace zev::automation {
namespace {

bool KindAllowed(MemberKind kind, uint16_t flags) {
    switch (kind) {
        case MemberKind::Method:
            return (flags & kInvokeMethod) != 0;
        case MemberKind::PropertyGet:
            return (flags & kInvokePropertyGet) != 0;
        case MemberKind::PropertyPut:
            return (flags & kInvokePropertyPut) != 0;
    }
    return false;
}

// The standard text of `number`, naming what the caller asked for.
std::string Described(int32_t number, std::string_view what) {
    std::string text = StandardDescription(number);
    text += ": ";
    text += what;
    return text;
}

}  // namespace

const Member* MemberTable::FindByName(std::string_view name) const noexcept {
    for (const Member& m : members_) {
        if (EqualsNoCase(m.Name, name)) return &m;
    }
    return nullptr;
}

DispId MemberTable::IdOfName(std::string_view name) const {
    if (const Member* m = FindByName(name)) return m->Id;
    throw DispatchError(DispatchFault::UnknownName, errors::kNoSuchMember,
                        Described(errors::kNoSuchMember, name));
}

const Member& MemberTable::Resolve(DispId id, uint16_t flags) const {
    const Member* any = nullptr;
    for (const Member& m : members_) {
        if (m.Id != id) continue;
        if (KindAllowed(m.Kind, flags)) return m;
        any = &m;
    }
    if (any == nullptr) {
        char text[32];
        std::snprintf(text, sizeof text, "DISPID 0x%08X", static_cast<unsigned>(id));
        throw DispatchError(DispatchFault::UnknownMember, errors::kNoSuchMember,
                            Described(errors::kNoSuchMember, text));
    }
    // Name the common mistakes of a property with one accessor plainly.
    int32_t number = errors::kNoSuchMember;
    if (any->Kind == MemberKind::PropertyGet && (flags & kInvokePropertyPut) != 0) {
        number = errors::kReadOnlyProperty;
    } else if (any->Kind == MemberKind::PropertyPut && (flags & kInvokePropertyGet) != 0) {
        number = errors::kWriteOnlyProperty;
    }
    throw DispatchError(DispatchFault::WrongKind, number, Described(number, any->Name));
}

Variant Invoke(IDispatchTarget& target, DispId id, uint16_t flags, std::span<const Variant> args) {
    const Member& member = target.Members().Resolve(id, flags);
    if (args.size() != static_cast<size_t>(member.ParamCount)) {
        throw DispatchError(DispatchFault::BadArgCount, errors::kWrongArgCount,
                            Described(errors::kWrongArgCount, member.Name));
    }
    return target.InvokeMember(member, args);
}

Variant CallByName(IDispatchTarget& target, std::string_view name, uint16_t flags,
                   std::span<const Variant> args) {
    return Invoke(target, target.Members().IdOfName(name), flags, args);
}

}  // namespace zev::automation
