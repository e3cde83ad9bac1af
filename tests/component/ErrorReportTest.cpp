#include <gtest/gtest.h>

#include "component/mdlCal.hpp"
#include "suite/ShareProps.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

class ErrorReport : public ::testing::Test, public WithScriptedUi {
  protected:
    void SetUp() override {
        RegisterSuiteOnce();
        suite::SetProcessProperty("PropsString", "Language=zz;");
    }
    void TearDown() override { suite::ClearProcessProperties(); }
};

TEST_F(ErrorReport, WithNothingPendingOnlyTheMousePointerIsReset) {
    OnFreshThread([&] {
        Ui().SetMousePointer(ui::vbHourglass);
        automation::ClearErr();
        component::mdlCal::ShowError();
        EXPECT_TRUE(Ui().Boxes().empty());
        EXPECT_EQ(Ui().GetMousePointer(), ui::vbDefault);
    });
}

TEST_F(ErrorReport, ShowsThreeLabelledLinesAndLeavesTheErrorPending) {
    OnFreshThread([&] {
        Ui().SetMousePointer(ui::vbHourglass);
        const automation::ErrorInfo pending{static_cast<int32_t>(0x80040002u), "工厂日历",
                                            "系统核算参数没有正确设置", "help.chm", 12};
        automation::Err() = pending;
        component::mdlCal::ShowError();
        ASSERT_EQ(Ui().Boxes().size(), 1u);
        const ui::RecordedBox box = Ui().Boxes()[0];
        EXPECT_EQ(box.prompt,
                  "错误代码:-2147221502\r\n错误来源:工厂日历\r\n错误信息:系统核算参数没有正确设置");
        EXPECT_EQ(box.title, "Halvor提示");
        EXPECT_EQ(box.buttons, 16);
        EXPECT_EQ(Ui().GetMousePointer(), ui::vbDefault);
        EXPECT_EQ(automation::Err(), pending);
        automation::ClearErr();
    });
}

TEST_F(ErrorReport, EmptySourceAndDescriptionStillGiveThreeLines) {
    OnFreshThread([&] {
        automation::Err() = automation::ErrorInfo{5, "", "", "", 0};
        component::mdlCal::ShowError();
        ASSERT_EQ(Ui().Boxes().size(), 1u);
        EXPECT_EQ(Ui().Boxes()[0].prompt, "错误代码:5\r\n错误来源:\r\n错误信息:");
        automation::ClearErr();
    });
}

TEST_F(ErrorReport, TheDescriptionIsLookedUpAndTheSourceIsNot) {
    suite::SetProcessProperty("PropsString", "Language=en;");
    OnFreshThread([&] {
        automation::Err() =
            automation::ErrorInfo{1, "工厂日历", "~$~数据库文件不存在^|^: /x.db", "", 0};
        component::mdlCal::ShowError();
        ASSERT_EQ(Ui().Boxes().size(), 1u);
        // The labels and the description in English, marks gone, the file name as it
        // was; the source is shown as it stands.
        EXPECT_EQ(Ui().Boxes()[0].prompt,
                  "Error code: 1\r\nError source: 工厂日历\r\n"
                  "Error message: The database file does not exist: /x.db");
        EXPECT_EQ(Ui().Boxes()[0].title, "Halvor Notice");
        automation::ClearErr();
    });
}

}  // namespace
}  // namespace zev::test
