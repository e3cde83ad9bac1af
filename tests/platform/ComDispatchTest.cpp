#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/automation/ClassRegistryFile.hpp"
#include "platform/automation/ComObject.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::automation {
namespace {

namespace fs = std::filesystem;

// A property Value with a get and a put under one DISPID, and a method that hands back
// its argument.
class Box final : public Object, public IDispatchTarget {
  public:
    const MemberTable& Members() const override { return kTable; }
    Variant InvokeMember(const Member& m, std::span<const Variant> args) override {
        if (m.Id == 7) return args[0];
        if (m.Kind == MemberKind::PropertyPut) value_ = args[0];
        return value_;
    }

  private:
    static constexpr std::array<Member, 3> kMembers{{
        {"Value", 1, MemberKind::PropertyGet, 0},
        {"Value", 1, MemberKind::PropertyPut, 1},
        {"Echo", 7, MemberKind::Method, 1},
    }};
    static constexpr MemberTable kTable{kMembers};
    Variant value_;
};

VARIANT Echo(IDispatch* object, VARIANT arg, HRESULT expected = S_OK) {
    DISPPARAMS params{&arg, nullptr, 1, 0};
    VARIANT result{};
    EXPECT_EQ(object->lpVtbl->Invoke(object, 7, &IID_NULL, 0, DISPATCH_METHOD, &params, &result,
                                     nullptr, nullptr),
              expected);
    return result;
}

TEST(ComDispatch, GetAndPutOfOnePropertyShareTheirDispid) {
    Box box;
    const std::array<Variant, 1> five{Variant(5)};
    CallByName(box, "value", kInvokePropertyPut, five);
    EXPECT_EQ(CallByName(box, "VALUE", kInvokeMethod | kInvokePropertyGet), Variant(5));
    EXPECT_THROW(Invoke(box, 1, kInvokeMethod), DispatchError);
}

TEST(ComDispatch, ResultsCrossTheBinaryInterfaceWithTheirOwnership) {
    auto target = std::make_shared<Box>();
    IDispatch* box = com::DispatchObject::Create(target);
    char text[] = "工厂";
    VARIANT arg{};
    arg.vt = VT_BSTR;
    arg.bstrVal = text;
    VARIANT result = Echo(box, arg);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_STREQ(result.bstrVal, "工厂");
    EXPECT_NE(result.bstrVal, text) << "a copy of the library's, for the caller to free";
    std::free(result.bstrVal);

    // A caller's object comes back as the same object with one more reference.
    IDispatch* other = com::DispatchObject::Create(std::make_shared<Box>());
    arg.vt = VT_DISPATCH;
    arg.pdispVal = other;
    result = Echo(box, arg);
    ASSERT_EQ(result.vt, VT_DISPATCH);
    EXPECT_EQ(result.pdispVal, other);
    EXPECT_EQ(other->lpVtbl->Release(other), 1u);
    EXPECT_EQ(other->lpVtbl->Release(other), 0u);

    // An object of the library's own is handed out as a dispatch object of its own.
    const std::array<Variant, 1> inner{Variant(ObjectPtr(std::make_shared<Box>()))};
    CallByName(*target, "Value", kInvokePropertyPut, inner);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT got{};
    ASSERT_EQ(box->lpVtbl->Invoke(box, 1, &IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &got, nullptr,
                                  nullptr),
              S_OK);
    ASSERT_EQ(got.vt, VT_DISPATCH);
    arg.vt = VT_I2;
    arg.iVal = -3;
    result = Echo(got.pdispVal, arg);
    EXPECT_EQ(result.vt, VT_I2);
    EXPECT_EQ(result.iVal, -3);
    EXPECT_EQ(got.pdispVal->lpVtbl->Release(got.pdispVal), 0u);
    EXPECT_EQ(box->lpVtbl->Release(box), 0u);
    EXPECT_EQ(com::CanUnloadNow(), S_OK);
}

}  // namespace

namespace com {
namespace {

TEST(ClassRegistryFile, EditsTouchOnlyTheirOwnSection) {
    const RegistryEntry entry{"A.B", "{1}", "/lib/a.so", "Apartment"};
    const std::string own = "[A.B]\nCLSID={1}\nInprocServer=/lib/a.so\nThreadingModel=Apartment\n";
    EXPECT_EQ(WithEntry("", entry), own);
    // In place, once, whatever the case of the ProgID; comments and odd lines stay.
    const std::string text = "; note\n[a.b]\nCLSID={0}\n[C]\n x = y \n[A.B]\nCLSID={1}\n";
    EXPECT_EQ(WithEntry(text, entry), "; note\n" + own + "[C]\n x = y \n");
    EXPECT_EQ(FindEntry(WithEntry(text, entry), "a.B"), entry);
    EXPECT_EQ(WithoutEntry(own + "[C]\n", "a.b", "{1}"), "[C]\n");
    EXPECT_EQ(WithoutEntry(own, "A.B", "{2}"), own);
    EXPECT_EQ(FindEntry("[C]\n", "A.B"), std::nullopt);
}

TEST(ClassRegistryFile, RefusesValuesThatWouldBreakTheFile) {
    test::TempDir dir;
    const std::string file = dir.File("registry");
    std::ofstream(file) << "[Keep]\n";
    EXPECT_THROW(WriteEntry(file, {"A.B", "{1}", "/lib/a\n[Evil]\n.so", "Apartment"}),
                 std::invalid_argument);
    EXPECT_THROW(WriteEntry(file, {"A]B", "{1}", "/lib/a.so", "Apartment"}), std::invalid_argument);
    EXPECT_THROW(WriteEntry(file, {"", "{1}", "/lib/a.so", "Apartment"}), std::invalid_argument);
    std::ostringstream text;
    text << std::ifstream(file).rdbuf();
    EXPECT_EQ(text.str(), "[Keep]\n");
}

TEST(ClassRegistryFile, ALinkedRegistryStaysLinked) {
    test::TempDir dir;
    const fs::path target = dir.Path() / "shared-registry";
    const fs::path link = dir.Path() / "registry";
    std::ofstream(target) << "[Keep]\n";
    fs::create_symlink(target, link);
    WriteEntry(link.string(), {"A.B", "{1}", "/lib/a.so", "Apartment"});
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(FindEntry(
        [&] {
            std::ostringstream text;
            text << std::ifstream(target).rdbuf();
            return text.str();
        }(),
        "A.B"));
}

}  // namespace
}  // namespace com
}  // namespace zev::automation
