#pragma once
// A connection that passes every call on to another, for tests that watch or spoil what a
// component sends: a subclass overrides Execute and passes the call on with Inner().

#include <optional>
#include <string_view>
#include <utility>

#include "platform/data/Connection.hpp"

namespace zev::test {

class ForwardingConnection : public data::Connection {
  public:
    explicit ForwardingConnection(data::ConnectionPtr inner) : inner_(std::move(inner)) {}
    data::Recordset Execute(std::string_view commandText) override {
        return inner_->Execute(commandText);
    }
    data::Dialect GetDialect() const override { return inner_->GetDialect(); }
    bool HasTable(std::string_view name) override { return inner_->HasTable(name); }
    std::optional<uint64_t> ChangeStamp(std::string_view table) override {
        return inner_->ChangeStamp(table);
    }
    bool BeginReadSnapshot() override { return inner_->BeginReadSnapshot(); }
    void EndReadSnapshot() noexcept override { inner_->EndReadSnapshot(); }

  protected:
    data::Connection& Inner() { return *inner_; }

  private:
    data::ConnectionPtr inner_;
};

}  // namespace zev::test
