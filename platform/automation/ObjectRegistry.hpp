#pragma once
// Object creation by ProgID. The suite registers a factory for each of its components;
// tests register their own under the same ProgID to replace one.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/automation/ComError.hpp"
#include "platform/automation/Object.hpp"

namespace zev::automation {

using Factory = std::function<ObjectPtr()>;

// Registers `factory` for `progId` (compared without regard to case) and returns the
// factory it replaces, empty when there was none. An empty factory unregisters.
Factory RegisterFactory(std::string_view progId, Factory factory);

// Creates an object by ProgID. An unregistered ProgID fails with 429; a factory that
// fails passes its error on.
ObjectPtr CreateObject(std::string_view progId);

// Creates an object and asks it for the interface T; 430 when it has none.
template <class T>
std::shared_ptr<T> CreateObjectAs(std::string_view progId) {
    ObjectPtr object = CreateObject(progId);
    auto typed = std::dynamic_pointer_cast<T>(object);
    if (!typed) {
        throw ComError(errors::kNoSuchInterface, std::string(progId),
                       StandardDescription(errors::kNoSuchInterface));
    }
    return typed;
}

// The interface T of an object reference held in a variable; 91 when the variable holds
// no object, 430 when the object lacks the interface.
template <class T>
std::shared_ptr<T> InterfaceOf(const ObjectPtr& object) {
    if (!object) Raise(errors::kObjectNotSet);
    auto typed = std::dynamic_pointer_cast<T>(object);
    if (!typed) Raise(errors::kNoSuchInterface);
    return typed;
}

// Replaces the factory of a ProgID for the lifetime of the guard.
class ScopedFactory {
  public:
    ScopedFactory(std::string_view progId, Factory factory)
        : progId_(progId), previous_(RegisterFactory(progId, std::move(factory))) {}
    ~ScopedFactory() { RegisterFactory(progId_, std::move(previous_)); }
    ScopedFactory(const ScopedFactory&) = delete;
    ScopedFactory& operator=(const ScopedFactory&) = delete;

  private:
    std::string progId_;
    Factory previous_;
};

}  // namespace zev::automation
