#include <gtest/gtest.h>

#include <atomic>

#include "component/clsCal.hpp"
#include "component/mdlCal.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/AppConnection.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::OleFromCivil;
using component::clsCal;
using component::mdlCal::State;
namespace errors = automation::errors;

// A fresh SQLite database with the example calendar; connections to it are counted and
// can be watched for their release.
class ComponentState : public ::testing::Test, public WithScriptedUi {
  protected:
    void SetUp() override {
        RegisterSuiteOnce();
        db_ = TestDatabase::Create(Backend::SQLite);
        WriteExampleCalendar(*db_->Connect());
        factory_ = std::make_unique<automation::ScopedFactory>(host::progid::kAppConnection,
                                                               [this]() -> automation::ObjectPtr {
                                                                   ++created_;
                                                                   auto c = db_->Connect();
                                                                   last_ = c;
                                                                   return c;
                                                               });
    }

    std::unique_ptr<TestDatabase> db_;
    std::unique_ptr<automation::ScopedFactory> factory_;
    std::atomic<int> created_{0};
    std::weak_ptr<data::Connection> last_;
    const double june7_ = OleFromCivil(2009, 6, 7);
};

TEST_F(ComponentState, StartsZeroedAndCreationTouchesNothing) {
    OnFreshThread([&] {
        {
            clsCal cal;
            EXPECT_EQ(cal.IsSetWorkCalendar(), 0);
        }
        const component::ComponentState& s = State();
        EXPECT_EQ(s.IsSetWorkCalendar, 0);
        EXPECT_EQ(s.CalStartDay, 0.0);
        EXPECT_EQ(s.StartYear, 0);
        EXPECT_EQ(s.CurrentPeriod, 0);
        EXPECT_EQ(s.ServerDate, 0.0);
        EXPECT_TRUE(s.SystemName.empty());
        EXPECT_FALSE(s.ActiveConnection);
        EXPECT_EQ(created_, 0);
    });
}

TEST_F(ComponentState, EachActiveConnectionReplacesAndReleasesThePreviousOne) {
    OnFreshThread([&] {
        clsCal cal;
        cal.ActiveConnection("");
        const std::weak_ptr<data::Connection> first = last_;
        ASSERT_FALSE(first.expired());
        cal.ActiveConnection("ignored text");
        EXPECT_EQ(created_, 2);
        EXPECT_TRUE(first.expired());
        EXPECT_EQ(cal.WorkDayBefore(june7_), OleFromCivil(2009, 6, 5));

        // A connection that cannot be created leaves the one held in place.
        automation::ScopedFactory failing(
            host::progid::kAppConnection, []() -> automation::ObjectPtr {
                throw automation::ComError(errors::kUnspecified, "test", "no server");
            });
        EXPECT_EQ(ErrorNumberOf([&] { cal.ActiveConnection(""); }), errors::kUnspecified);
        EXPECT_EQ(cal.WorkDayBefore(june7_), OleFromCivil(2009, 6, 5));
        cal.SystemName("PlanningModule");
        EXPECT_EQ(State().SystemName, "PlanningModule");
    });
}

TEST_F(ComponentState, ObjectsOfOneThreadShareTheConnectionAndLoseItTogether) {
    OnFreshThread([&] {
        auto a = std::make_unique<clsCal>();
        clsCal b;
        a->ActiveConnection("");
        EXPECT_EQ(b.WorkDayAfter(june7_), OleFromCivil(2009, 6, 8));

        a.reset();  // final release of a takes the connection from b as well
        EXPECT_TRUE(last_.expired());
        EXPECT_EQ(ErrorNumberOf([&] { b.WorkDayBefore(june7_); }), errors::kObjectNotSet);
        EXPECT_TRUE(Ui().Boxes().empty());

        EXPECT_EQ(b.WorkDay(june7_, component::Dir_Forward, 1), 0.0);
        ASSERT_EQ(Ui().Boxes().size(), 1u);
        EXPECT_NE(Ui().Boxes()[0].prompt.find("91"), std::string::npos);
        EXPECT_EQ(automation::Err().Number, 0);

        b.ActiveConnection("");
        EXPECT_EQ(b.WorkDay(june7_, component::Dir_Forward, 1), OleFromCivil(2009, 6, 8));
        EXPECT_EQ(Ui().Boxes().size(), 1u);
    });
}

TEST_F(ComponentState, EachThreadHasItsOwnState) {
    OnFreshThread([&] {
        clsCal cal;
        cal.ActiveConnection("");
        cal.SystemName("first");
        State().IsSetWorkCalendar = automation::kTrue;
        OnFreshThread([&] {
            clsCal other;
            EXPECT_EQ(other.IsSetWorkCalendar(), 0);
            EXPECT_TRUE(State().SystemName.empty());
            EXPECT_EQ(ErrorNumberOf([&] { other.WorkDayBefore(june7_); }), errors::kObjectNotSet);
            other.ActiveConnection("");
            EXPECT_EQ(other.WorkDayBefore(june7_), OleFromCivil(2009, 6, 5));
        });
        // The other thread's release did not touch this thread's connection.
        EXPECT_EQ(cal.WorkDayBefore(june7_), OleFromCivil(2009, 6, 5));
        EXPECT_EQ(cal.IsSetWorkCalendar(), automation::kTrue);
        EXPECT_EQ(State().SystemName, "first");
    });
}

TEST_F(ComponentState, ShowWithoutAConnectionReportsTheFailureAndReturns) {
    OnFreshThread([&] {
        clsCal cal;
        automation::Err() = automation::ErrorInfo{5, "earlier", "a caller's", "", 0};
        EXPECT_NO_THROW(cal.Show());
        ASSERT_EQ(Ui().Boxes().size(), 1u);
        EXPECT_EQ(Ui().Boxes()[0].buttons, 16);
        EXPECT_NE(Ui().Boxes()[0].prompt.find(std::to_string(errors::kObjectNotSet)),
                  std::string::npos);
        EXPECT_EQ(automation::Err().Number, 0);
    });
}

}  // namespace
}  // namespace zev::test
