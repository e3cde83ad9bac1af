#pragma once
// A connection that passes every call on to another, for tests that watch or spoil what a
// component sends: a subclass overrides Execute and passes the call on with Inner(); one
// that counts the statements; and one that commits another connection's change between
// two statements, to break a read snapshot on purpose.

#include <atomic>
#include <optional>
#include <string>
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

// A connection that counts the statements run through it, to tell answers from memory
// from answers by the statements.
class CountingConnection final : public ForwardingConnection {
  public:
    using ForwardingConnection::ForwardingConnection;
    data::Recordset Execute(std::string_view commandText) override {
        ++statements;
        return Inner().Execute(commandText);
    }

    std::atomic<int> statements{0};
};

// Runs `change` on `other` (outside any transaction, so it commits at once) right after
// the first statement that contains `after` has run through this connection, and never
// again: whatever the component reads next is the changed database unless its statements
// share one snapshot.
class CommitsBetweenStatements final : public ForwardingConnection {
  public:
    CommitsBetweenStatements(data::ConnectionPtr inner, data::ConnectionPtr other,
                             std::string after, std::string change)
        : ForwardingConnection(std::move(inner)),
          other_(std::move(other)),
          after_(std::move(after)),
          change_(std::move(change)) {}
    data::Recordset Execute(std::string_view commandText) override {
        data::Recordset result = Inner().Execute(commandText);
        if (!committed_ && commandText.find(after_) != std::string_view::npos) {
            committed_ = true;
            other_->Execute(change_);
        }
        return result;
    }
    bool Committed() const { return committed_; }

  private:
    data::ConnectionPtr other_;
    std::string after_;
    std::string change_;
    bool committed_ = false;
};

}  // namespace zev::test
