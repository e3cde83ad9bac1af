// The property manager (ShareProps.hpp): the process's properties and its registration;
// private: the store and the manager object.
#include "suite/ShareProps.hpp"
#include "platform/automation/AsciiText.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::suite {
namespace {

using automation::UpperAscii;
using automation::Variant;

struct Store {
    std::mutex mutex;
    std::map<std::string, Variant> properties;
};

Store& TheStore() {
    static Store store;
    return store;
}

class ShareProps final : public automation::Object, public host::IShareProps {
  public:
    Variant GetProperty(int32_t& processId, std::string& name) override {
        // Only this process's properties are kept here; another process has none.
        if (processId != static_cast<int32_t>(::getpid())) return Variant();
        const std::string key = UpperAscii(name);
        {
            Store& s = TheStore();
            const std::lock_guard lock(s.mutex);
            if (auto it = s.properties.find(key); it != s.properties.end()) return it->second;
        }
        if (key == "PROPSSTRING") {
            if (const char* env = std::getenv(kPropsEnvironment)) return Variant(env);
        }
        return Variant();
    }
};

}  // namespace

void SetProcessProperty(const std::string& name, Variant value) {
    Store& s = TheStore();
    const std::lock_guard lock(s.mutex);
    s.properties[UpperAscii(name)] = std::move(value);
}

void ClearProcessProperties() {
    Store& s = TheStore();
    const std::lock_guard lock(s.mutex);
    s.properties.clear();
}

void RegisterShareProps() {
    automation::RegisterFactory(host::progid::kShareProps,
                                [] { return std::make_shared<ShareProps>(); });
}

}  // namespace zev::suite
