#include "platform/automation/ObjectRegistry.hpp"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace zev::automation {
namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

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
    const std::string key = Upper(progId);
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
        if (auto it = r.factories.find(Upper(progId)); it != r.factories.end()) {
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
