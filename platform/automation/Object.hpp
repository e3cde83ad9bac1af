#pragma once
// Base of every automation object: suite components, connections, the component's own
// class. Objects are shared and released when the last reference goes.

#include <memory>

namespace zev::automation {

class Object {
  public:
    virtual ~Object() = default;
};

using ObjectPtr = std::shared_ptr<Object>;

}  // namespace zev::automation
