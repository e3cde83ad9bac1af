// Object creation by ProgID (ObjectRegistry.hpp): the process's table of factories.
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/AsciiText.hpp"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace zev::automation {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, Factory, std::less<>> factories;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

Factory RegisterFactory(std::string_view progId, Factory factory) {
    Registry& r = TheRegistry();
    const std::lock_guard lock(r.mutex);
    const std::string key = UpperAscii(progId);
    Factory previous;
    if (auto it = r.factories.find(key); it != r.factories.end()) {
        previous = std::move(it->second);
        r.factories.erase(it);
    }
    if (factory) r.factories.emplace(key, std::move(factory));
    return previous;
}

ObjectPtr CreateObject(std::string_view progId) {
    Factory factory;
    {
        Registry& r = TheRegistry();
        const std::lock_guard lock(r.mutex);
        if (auto it = r.factories.find(UpperAscii(progId)); it != r.factories.end()) {
            factory = it->second;
        }
    }
    if (!factory) {
        throw ComError(errors::kCannotCreateObject, kRuntimeSource,
                       std::string(StandardDescription(errors::kCannotCreateObject)) + ": " +
                           std::string(progId));
    }
    ObjectPtr object = factory();
    if (!object) {
        throw ComError(errors::kCannotCreateObject, kRuntimeSource,
                       std::string(StandardDescription(errors::kCannotCreateObject)) + ": " +
                           std::string(progId));
    }
    return object;
}

}  // namespace zev::automation
