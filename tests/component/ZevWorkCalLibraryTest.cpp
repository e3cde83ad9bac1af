// libZevWorkCal.so as a host sees it: loaded with dlopen, used through its four exports.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestDatabase.hpp"
#include "zevworkcal/zevworkcal.h"

namespace zev::test {
namespace {

namespace fs = std::filesystem;

struct Library {
    void* handle = nullptr;
    PFN_DllGetClassObject GetClassObject = nullptr;
    PFN_DllCanUnloadNow CanUnloadNow = nullptr;
    PFN_DllRegisterServer Register = nullptr;
    PFN_DllUnregisterServer Unregister = nullptr;
};

template <class F>
void Bind(void* handle, const char* name, F& function) {
    void* symbol = ::dlsym(handle, name);
    ASSERT_NE(symbol, nullptr) << name;
    function = reinterpret_cast<F>(symbol);
}

// Loaded once per process and never unloaded, as a host keeps an in-process server.
const Library& TheLibrary() {
    static const Library library = [] {
        Library l;
        l.handle = ::dlopen(ZEV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (l.handle == nullptr) {
            ADD_FAILURE() << ::dlerror();
            return l;
        }
        Bind(l.handle, "DllGetClassObject", l.GetClassObject);
        Bind(l.handle, "DllCanUnloadNow", l.CanUnloadNow);
        Bind(l.handle, "DllRegisterServer", l.Register);
        Bind(l.handle, "DllUnregisterServer", l.Unregister);
        return l;
    }();
    return library;
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::string ExpectedSection() {
    char clsid[40];
    const GUID& g = CLSID_clsCal;
    std::snprintf(clsid, sizeof clsid, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return std::string("[ZevWorkCal.clsCal]\nCLSID=") + clsid +
           // The versioned file, though the library was loaded by its unversioned link.
           "\nInprocServer=" +
           (fs::canonical(fs::path(ZEV_LIBRARY_PATH).parent_path()) /
            fs::path(ZEV_LIBRARY_SONAME_FILE).filename())
               .string() +
           "\nThreadingModel=Apartment\n";
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class ZevWorkCalLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(L().handle, nullptr);
        ASSERT_EQ(L().CanUnloadNow(), S_OK) << "an earlier test left objects alive";
    }
    static const Library& L() { return TheLibrary(); }

    IClassFactory* Factory() {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(L().GetClassObject(&CLSID_clsCal, &IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)),
                  S_OK);
        return factory;
    }
};

TEST_F(ZevWorkCalLibrary, ClassObjectOnlyForClsCalAndTheFactoryInterfaces) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(L().GetClassObject(&IID_IDispatch, &IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(L().GetClassObject(&CLSID_clsCal, &IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(L().GetClassObject(&CLSID_clsCal, &IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(L().CanUnloadNow(), S_OK) << "a refused request left a factory alive";

    IUnknown* unknown = nullptr;
    ASSERT_EQ(L().GetClassObject(&CLSID_clsCal, &IID_IUnknown, reinterpret_cast<void**>(&unknown)),
              S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(unknown->lpVtbl->QueryInterface(unknown, &IID_IClassFactory,
                                              reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(unknown->lpVtbl->Release(unknown), 1u);
    EXPECT_EQ(factory->lpVtbl->Release(factory), 0u);
}

TEST_F(ZevWorkCalLibrary, FactoryCreatesClsCalWithItsInterfacesAndCountsReferences) {
    IClassFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    void* object = reinterpret_cast<void*>(1);
    IUnknown outer{};
    EXPECT_EQ(factory->lpVtbl->CreateInstance(factory, &outer, &IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &IID_IClassFactory, &object),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    IDispatch* cal = nullptr;
    ASSERT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &IID_IDispatch,
                                              reinterpret_cast<void**>(&cal)),
              S_OK);
    void* dual = nullptr;
    void* unknown = nullptr;
    ASSERT_EQ(cal->lpVtbl->QueryInterface(cal, &IID_clsCal, &dual), S_OK);
    ASSERT_EQ(cal->lpVtbl->QueryInterface(cal, &IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(dual, static_cast<void*>(cal));
    EXPECT_EQ(unknown, static_cast<void*>(cal));
    EXPECT_EQ(cal->lpVtbl->QueryInterface(cal, &IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(cal->lpVtbl->AddRef(cal), 4u);
    for (ULONG left = 3; left > 0; --left)
        EXPECT_EQ(cal->lpVtbl->Release(cal), left);

    UINT count = 7;
    EXPECT_EQ(cal->lpVtbl->GetTypeInfoCount(cal, &count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(cal->lpVtbl->Release(cal), 0u);
    EXPECT_EQ(factory->lpVtbl->Release(factory), 0u);
}

TEST_F(ZevWorkCalLibrary, CanUnloadOnlyWithoutObjectsAndLocks) {
    IClassFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(L().CanUnloadNow(), S_FALSE) << "the factory is alive";
    IDispatch* cal = nullptr;
    ASSERT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &IID_IDispatch,
                                              reinterpret_cast<void**>(&cal)),
              S_OK);
    EXPECT_EQ(factory->lpVtbl->LockServer(factory, 1), S_OK);
    EXPECT_EQ(factory->lpVtbl->Release(factory), 0u);
    EXPECT_EQ(L().CanUnloadNow(), S_FALSE);
    EXPECT_EQ(cal->lpVtbl->Release(cal), 0u);
    EXPECT_EQ(L().CanUnloadNow(), S_FALSE) << "the lock holds";

    factory = Factory();
    EXPECT_EQ(factory->lpVtbl->LockServer(factory, 0), S_OK);
    // An unlock without a lock is refused instead of hiding a later lock.
    EXPECT_EQ(factory->lpVtbl->LockServer(factory, 0), E_UNEXPECTED);
    EXPECT_EQ(factory->lpVtbl->LockServer(factory, 1), S_OK);
    EXPECT_EQ(factory->lpVtbl->Release(factory), 0u);
    EXPECT_EQ(L().CanUnloadNow(), S_FALSE);
    factory = Factory();
    EXPECT_EQ(factory->lpVtbl->LockServer(factory, 0), S_OK);
    EXPECT_EQ(factory->lpVtbl->Release(factory), 0u);
    EXPECT_EQ(L().CanUnloadNow(), S_OK);
}

// Registration edits the registry file that ZEVWORKCAL_REGISTRY names.
class Registration : public ZevWorkCalLibrary {
  protected:
    void SetUp() override {
        ZevWorkCalLibrary::SetUp();
        registry_ = dir_.Path() / "conf" / "registry";
        ::setenv("ZEVWORKCAL_REGISTRY", registry_.c_str(), 1);
    }
    void TearDown() override { ::unsetenv("ZEVWORKCAL_REGISTRY"); }

    TempDir dir_;
    fs::path registry_;
};

TEST_F(Registration, AddsOneEntryKeepsOthersAndUnregisterTakesItAway) {
    // Into a directory that does not exist yet.
    ASSERT_EQ(L().Register(), S_OK);
    EXPECT_EQ(ReadFile(registry_), ExpectedSection());

    const std::string others =
        "# classes of this desktop\n[Other.Thing]\nCLSID={00000000-0000-0000-0000-000000000001}\n"
        "InprocServer=/opt/other/libother.so\n\n[Last.One]\nCLSID={1}\nInprocServer=/x.so";
    WriteFile(registry_, others);
    ::chmod(registry_.c_str(), 0640);
    ASSERT_EQ(L().Register(), S_OK);
    ASSERT_EQ(L().Register(), S_OK);
    const std::string registered = ReadFile(registry_);
    EXPECT_EQ(registered, others + "\n" + ExpectedSection());
    EXPECT_EQ(Count(registered, "ZevWorkCal.clsCal"), 1u);
    struct stat st {};
    ASSERT_EQ(::stat(registry_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the file keeps its permissions";

    ASSERT_EQ(L().Unregister(), S_OK);
    EXPECT_EQ(ReadFile(registry_), others + "\n");
    ASSERT_EQ(L().Unregister(), S_OK);
    // Only the registry and its lock file: no temporary file stays behind.
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(registry_.parent_path())) {
        EXPECT_TRUE(entry.path().filename() == "registry" ||
                    entry.path().filename() == "registry.lock")
            << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 2u);
    EXPECT_EQ(ReadFile(registry_), others + "\n");
}

TEST_F(Registration, ReplacesAStaleEntryAndLeavesAnotherClassesEntryAlone) {
    fs::create_directories(registry_.parent_path());
    const std::string stale =
        "[zevworkcal.CLSCAL]\nCLSID={C332ACDB-200B-42DD-AF4E-014C5EA6F05C}\n"
        "InprocServer=/old/libZevWorkCal.so\nThreadingModel=Free\n[Other]\nCLSID={2}\n";
    WriteFile(registry_, stale);
    ASSERT_EQ(L().Register(), S_OK);
    EXPECT_EQ(ReadFile(registry_), ExpectedSection() + "[Other]\nCLSID={2}\n");

    // The ProgID taken by another class since: unregistering ours must not remove it.
    const std::string taken = "[ZevWorkCal.clsCal]\nCLSID={3}\nInprocServer=/y.so\n";
    WriteFile(registry_, taken);
    ASSERT_EQ(L().Unregister(), S_OK);
    EXPECT_EQ(ReadFile(registry_), taken);
}

TEST_F(Registration, FailureIsReportedAndNothingIsLeftBehind) {
    WriteFile(dir_.Path() / "conf", "a file where a directory should be");
    EXPECT_EQ(L().Register(), SELFREG_E_CLASS);

    // Unregistering with no registry file creates none.
    ::setenv("ZEVWORKCAL_REGISTRY", (dir_.Path() / "none" / "registry").c_str(), 1);
    EXPECT_EQ(L().Unregister(), S_OK);
    EXPECT_FALSE(fs::exists(dir_.Path() / "none"));
}

// Only a regular file is read or replaced: a FIFO would hang registration, a device or
// a folder cannot be a registry. Each is refused and left as it was.
TEST_F(Registration, RefusesARegistryThatIsNotARegularFile) {
    fs::create_directories(registry_.parent_path());
    const fs::path fifo = dir_.Path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path link = dir_.Path() / "link";
    fs::create_symlink(fifo, link);
    const fs::path folder = dir_.Path() / "folder";
    fs::create_directories(folder);
    std::vector<fs::path> paths = {fifo, link, folder};
    // A device node of our own (only root can make one): the null device's numbers.
    const fs::path device = dir_.Path() / "device";
    if (::mknod(device.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0) paths.push_back(device);
    for (const fs::path& path : paths) {
        ::setenv("ZEVWORKCAL_REGISTRY", path.c_str(), 1);
        struct stat before {};
        ASSERT_EQ(::stat(path.c_str(), &before), 0);
        EXPECT_EQ(L().Register(), SELFREG_E_CLASS) << path;
        EXPECT_EQ(L().Unregister(), SELFREG_E_CLASS) << path;
        struct stat after {};
        ASSERT_EQ(::stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << path << " was replaced";
    }
}

TEST_F(Registration, WithoutTheVariableTheFileLivesInTheUsersConfiguration) {
    ::unsetenv("ZEVWORKCAL_REGISTRY");
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome != nullptr ? savedHome : "";
    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string config = savedConfig != nullptr ? savedConfig : "";

    ::setenv("XDG_CONFIG_HOME", (dir_.Path() / "xdg").c_str(), 1);
    ::setenv("HOME", (dir_.Path() / "home").c_str(), 1);
    EXPECT_EQ(L().Register(), S_OK);
    EXPECT_EQ(ReadFile(dir_.Path() / "xdg" / "zevworkcal" / "registry"), ExpectedSection());
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(L().Register(), S_OK);
    EXPECT_EQ(ReadFile(dir_.Path() / "home" / ".config" / "zevworkcal" / "registry"),
              ExpectedSection());

    savedHome != nullptr ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
    if (savedConfig != nullptr) ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
}

}  // namespace
}  // namespace zev::test
