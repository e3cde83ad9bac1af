// The PO catalogue reader and the text resource loader.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "suite/ResLoader.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

namespace fs = std::filesystem;
using automation::ComError;
using suite::ParsePoCatalogue;
using suite::PoCatalogue;

std::map<std::string, std::string> Messages(const std::string& po) {
    const PoCatalogue c = ParsePoCatalogue(po, "test.po");
    return {c.messages.begin(), c.messages.end()};
}

TEST(PoReader, ReadsTheSyntaxOfRealCatalogues) {
    const std::string po =
        "\xEF\xBB\xBF# translator comment\r\n"
        "msgid \"\"\r\n"
        "msgstr \"\"\r\n"
        "\"Content-Type: text/plain; charset=utf-8\\n\"\r\n"
        "\r\n"
        "#. extracted comment\n"
        "#: component/mdlCal.cpp:27\n"
        "#, c-format\n"
        "msgid \"错误代码:\"\n"
        "msgstr \"Error code: \"\n"
        "\n"
        "  msgid   \"工厂\"   \n"
        "\t\"日历\"\n"
        "msgstr \"\"\n"
        "\"Factory \"\n"
        "\"Calendar\"\n"
        "\n"
        "msgid \"tab\\there\"\n"
        "msgstr \"q\\\"uote\\\\ back\\nline\\rret\\101\\x42\"\n"
        "\n"
        "msgctxt \"menu\"\n"
        "msgid \"天\"\n"
        "msgstr \"Day (menu)\"\n"
        "msgid \"天\"\n"
        "msgstr \"Day\"\n"
        "\n"
        "msgid \"个工作日\"\n"
        "msgid_plural \"个工作日\"\n"
        "msgstr[0] \"work day\"\n"
        "msgstr[1] \"work days\"\n"
        "\n"
        "#, fuzzy\n"
        "msgid \"周\"\n"
        "msgstr \"Weak\"\n"
        "\n"
        "msgid \"月\"\n"
        "msgstr \"\"\n"
        "\n"
        "#~ msgid \"年\"\n"
        "#~ msgstr \"Year\"\n";
    const std::map<std::string, std::string> expected = {
        {"错误代码:", "Error code: "},
        {"工厂日历", "Factory Calendar"},
        {"tab\there", "q\"uote\\ back\nline\rretAB"},
        {"menu\x04天", "Day (menu)"},
        {"天", "Day"},
        {"个工作日", "work day"},
    };
    EXPECT_EQ(Messages(po), expected);
    EXPECT_TRUE(Messages("").empty());
    EXPECT_TRUE(Messages("# only a comment\n\n").empty());
    EXPECT_EQ(Messages("msgid \"a\"\nmsgstr \"b\""),
              (std::map<std::string, std::string>{{"a", "b"}}));
}

TEST(PoReader, MalformedCataloguesNameTheFileAndLine) {
    struct Case {
        const char* text;
        int line;
        const char* problem;
    };
    const Case cases[] = {
        {"msgid \"abc\nmsgstr \"x\"\n", 1, "字符串没有结束的引号"},
        {"msgid \"abc\\", 1, "字符串没有结束的引号"},
        {"\nmsgid \"a\\q\"\nmsgstr \"\"\n", 2, "不认识的转义序列"},
        {"msgid \"a\\x\"\nmsgstr \"\"\n", 1, "不认识的转义序列"},
        {"msgid abc\n", 1, "此处应为带引号的字符串"},
        {"msgid\n", 1, "此处应为带引号的字符串"},
        {"msgid \"a\" x\nmsgstr \"\"\n", 1, "引号后有多余的内容"},
        {"msgid \"a\"\nmsgstr \"b\"\nhello\n", 3, "无法识别的行"},
        {"\"x\"\n", 1, "续行前没有关键字"},
        {"msgstr \"x\"\n", 1, "缺少 msgid"},
        {"msgid \"a\"\nmsgid \"b\"\nmsgstr \"\"\n", 2, "缺少 msgstr"},
        {"# c\nmsgid \"a\"\n\n", 2, "缺少 msgstr"},
        {"msgid \"a\"\nmsgctxt \"c\"\n", 2, "缺少 msgstr"},
        {"msgid \"a\"\nmsgstr \"b\"\nmsgstr \"c\"\n", 3, "关键字位置不对"},
        {"msgid \"a\"\nmsgstr[0] \"x\"\n", 2, "关键字位置不对"},
        {"msgid \"a\"\nmsgid_plural \"b\"\nmsgstr \"x\"\n", 3, "关键字位置不对"},
        {"msgid \"a\"\nmsgid_plural \"b\"\nmsgstr[1] \"x\"\n", 3, "复数形式的序号不对"},
        {"msgid \"a\"\nmsgid_plural \"b\"\nmsgstr[0] \"x\"\nmsgstr[x] \"y\"\n", 4,
         "复数形式的序号不对"},
        {"msgid \"a\"\nmsgstr \"1\"\n\nmsgid \"a\"\nmsgstr \"2\"\n", 4, "重复的条目"},
        {"msgid \"a\"\nmsgstr \"1\"\nmsgid \"b\"\nmsgstr \"2\xC3\"\n", 4, "不是有效的 UTF-8 文本"},
        {"msgid \"\xED\xA0\x80\"\nmsgstr \"\"\n", 1, "不是有效的 UTF-8 文本"},
        {"msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=GBK\\n\"\n", 1,
         "字符集不是 UTF-8"},
    };
    for (const Case& c : cases) {
        try {
            ParsePoCatalogue(c.text, "/res/Set/bad.po");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ComError& e) {
            EXPECT_EQ(e.Number(), automation::errors::kUnspecified);
            EXPECT_EQ(e.Source(), "ZevResLoader.Loader");
            EXPECT_EQ(e.Description(), "~$~翻译文件格式不对^|^: /res/Set/bad.po:" +
                                           std::to_string(c.line) + ": ^|^~$~" + c.problem)
                << c.text;
        }
    }
}

// A folder of resource file sets for one test, named to the loader by the environment.
class ResourceFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterSuiteOnce();
        const char* previous = std::getenv(suite::kResourcesEnvironment);
        previous_ = previous ? previous : "";
        setenv(suite::kResourcesEnvironment, dir_.Path().c_str(), 1);
    }
    void TearDown() override { setenv(suite::kResourcesEnvironment, previous_.c_str(), 1); }

    void Write(const std::string& relative, const std::string& text) {
        const fs::path path = dir_.Path() / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::shared_ptr<host::IResLoader> Loader(const std::string& set,
                                                    const std::string& language) {
        auto loader = automation::CreateObjectAs<host::IResLoader>(host::progid::kResLoader);
        loader->SetResFileBaseName(set);
        loader->SetLanguageID(language);
        return loader;
    }
    static std::string Load(const std::shared_ptr<host::IResLoader>& loader, std::string key) {
        return loader->LoadString(key);
    }

    TempDir dir_;
    std::string previous_;
};

TEST_F(ResourceFolder, UnknownKeysLanguagesAndSetsGiveTheKeyBack) {
    Write("Set/en.po", "msgid \"休息日\"\nmsgstr \"Rest Days\"\nmsgid \"月\"\nmsgstr \"\"\n");
    Write("Set/de.po", "msgid \"休息日\"\nmsgstr \"Ruhetage\"\n");
    auto loader = Loader("Set", "en");
    EXPECT_EQ(loader->GetResFileBaseName(), "Set");
    EXPECT_EQ(loader->GetLanguageID(), "en");
    EXPECT_EQ(Load(loader, "休息日"), "Rest Days");
    EXPECT_EQ(Load(loader, "工厂日历"), "工厂日历");
    EXPECT_EQ(Load(loader, "月"), "月");  // empty translation
    EXPECT_EQ(Load(loader, ""), "");      // the header is no translation
    loader->SetLanguageID("de");
    EXPECT_EQ(Load(loader, "休息日"), "Ruhetage");
    // Any locale form: the most specific catalogue there is.
    Write("Set/de_AT.po", "msgid \"休息日\"\nmsgstr \"Ruhetage (AT)\"\n");
    for (const auto& [language, text] :
         {std::pair{"de_DE.UTF-8", "Ruhetage"}, std::pair{"de_AT.UTF-8@euro", "Ruhetage (AT)"},
          std::pair{"en_US", "Rest Days"}}) {
        loader->SetLanguageID(language);
        EXPECT_EQ(Load(loader, "休息日"), text) << language;
    }
    for (const char* language : {"", "fr", "../Set/en", "Set/en", ".", "zh_CN"}) {
        loader->SetLanguageID(language);
        EXPECT_EQ(Load(loader, "休息日"), "休息日") << language;
    }
    loader->SetLanguageID("en");
    for (const char* set : {"", "Other", "..", "../", "/Set"}) {
        loader->SetResFileBaseName(set);
        EXPECT_EQ(Load(loader, "休息日"), "休息日") << set;
    }
}

TEST_F(ResourceFolder, AMalformedCatalogueIsAnErrorEveryTime) {
    Write("Set/en.po", "msgid \"a\"\nmsgstr \"b\"\n\nmsgid \"c\n");
    const std::string file = (dir_.Path() / "Set/en.po").string();
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto loader = Loader("Set", "en");
        try {
            Load(loader, "a");
            ADD_FAILURE() << "no error";
        } catch (const ComError& e) {
            EXPECT_EQ(e.Source(), "ZevResLoader.Loader");
            EXPECT_EQ(e.Description(),
                      "~$~翻译文件格式不对^|^: " + file + ":4: ^|^~$~字符串没有结束的引号");
        }
    }
    // A folder where the catalogue should be cannot be read.
    fs::create_directories(dir_.Path() / "Set/xx.po");
    auto loader = Loader("Set", "xx");
    EXPECT_THROW(Load(loader, "a"), ComError);
    // Nor is a device read, which could block or never end.
    fs::create_symlink("/dev/zero", dir_.Path() / "Set/zz.po");
    loader->SetLanguageID("zz");
    try {
        Load(loader, "a");
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_NE(e.Description().find("^|^~$~不是普通文件"), std::string::npos) << e.Description();
    }
}

TEST_F(ResourceFolder, EachCatalogueIsReadOncePerProcess) {
    Write("Set/en.po", "msgid \"休息日\"\nmsgstr \"Rest Days\"\n");
    EXPECT_EQ(Load(Loader("Set", "en"), "休息日"), "Rest Days");
    Write("Set/en.po", "msgid \"休息日\"\nmsgstr \"Changed\"\n");
    EXPECT_EQ(Load(Loader("Set", "en"), "休息日"), "Rest Days");
    // A language that had no catalogue keeps having none.
    EXPECT_EQ(Load(Loader("Set", "fr"), "休息日"), "休息日");
    Write("Set/fr.po", "msgid \"休息日\"\nmsgstr \"Jours de repos\"\n");
    EXPECT_EQ(Load(Loader("Set", "fr"), "休息日"), "休息日");
}

TEST_F(ResourceFolder, LoadersOnManyThreadsShareTheCatalogues) {
    std::string po;
    for (int i = 0; i < 500; ++i) {
        po += "msgid \"键" + std::to_string(i) + "\"\nmsgstr \"key " + std::to_string(i) + "\"\n";
    }
    Write("Set/en.po", po);
    Write("Set/de.po", po);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            auto loader = Loader("Set", t % 2 == 0 ? "en" : "de");
            for (int i = 0; i < 500; ++i) {
                if (Load(loader, "键" + std::to_string(i)) != "key " + std::to_string(i)) ++wrong;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(Resources, TheShippedEnglishCatalogueIsFoundAndRead) {
    RegisterSuiteOnce();
    auto loader = automation::CreateObjectAs<host::IResLoader>(host::progid::kResLoader);
    loader->SetResFileBaseName("ZevManufacture");
    loader->SetLanguageID("en");
    for (const auto& [key, english] :
         std::vector<std::pair<std::string, std::string>>{{"工厂日历", "Factory Calendar"},
                                                          {"错误代码:", "Error code: "},
                                                          {"Halvor提示", "Halvor Notice"},
                                                          {"天", "Day"}}) {
        std::string k = key;
        EXPECT_EQ(loader->LoadString(k), english);
    }
}

TEST(Resources, WithoutTheVariableTheFolderBesideTheProgramIsUsed) {
    const std::string variable =
        std::getenv(suite::kResourcesEnvironment) ? std::getenv(suite::kResourcesEnvironment) : "";
    unsetenv(suite::kResourcesEnvironment);
    const std::string found = suite::ResourceDirectory();
    setenv(suite::kResourcesEnvironment, "", 1);
    EXPECT_EQ(suite::ResourceDirectory(), found);  // empty counts as unset
    setenv(suite::kResourcesEnvironment, variable.c_str(), 1);
    EXPECT_TRUE(fs::equivalent(found, ZEV_RESOURCE_DIR)) << found;
    EXPECT_TRUE(fs::exists(fs::path(found) / "ZevManufacture" / "en.po"));
}

TEST(Resources, ALibraryFindsTheFolderBesideItsOwnFolder) {
    const std::string variable =
        std::getenv(suite::kResourcesEnvironment) ? std::getenv(suite::kResourcesEnvironment) : "";
    // An installed tree elsewhere: <tree>/lib/the library, <tree>/share/... the catalogues.
    TempDir tree;
    fs::create_directories(tree.Path() / "lib");
    fs::create_directories(tree.Path() / "share/zevworkcal/resources");
    const fs::path library = tree.Path() / "lib" / fs::path(ZEV_RESOURCE_PROBE).filename();
    fs::copy_file(ZEV_RESOURCE_PROBE, library);

    unsetenv(suite::kResourcesEnvironment);
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    using Probe = const char* (*)();
    const auto probe = reinterpret_cast<Probe>(dlsym(handle, "zev_resource_directory_probe"));
    ASSERT_NE(probe, nullptr) << dlerror();
    const std::string found = probe();
    setenv(suite::kResourcesEnvironment, variable.c_str(), 1);
    dlclose(handle);
    EXPECT_TRUE(fs::equivalent(found, tree.Path() / "share/zevworkcal/resources")) << found;
}

}  // namespace
}  // namespace zev::test
