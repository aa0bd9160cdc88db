// Loads the plugin library by path, reads its registration record field by field and
// drives its entry points, as the host does.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "bakkesmod/plugin/bakkesmodplugin.h"
#include "bakkesmod/plugin/pluginwindow.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using BakkesMod::Plugin::PluginInfo;
using BakkesMod::Plugin::PluginOwner;

class Library {
public:
    explicit Library(const char* path)
    {
#if defined(_WIN32)
        handle = LoadLibraryA(path);
#else
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
    }
    ~Library()
    {
#if defined(_WIN32)
        if (handle) FreeLibrary(static_cast<HMODULE>(handle));
#else
        if (handle) dlclose(handle);
#endif
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool loaded() const { return handle != nullptr; }
    void* symbol(const char* name) const
    {
#if defined(_WIN32)
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
        return dlsym(handle, name);
#endif
    }

private:
    void* handle = nullptr;
};

class PluginLibrary : public ::testing::Test {
protected:
    Library library{KESTREL_PLUGIN_PATH};
    PluginInfo* info = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(library.loaded()) << KESTREL_PLUGIN_PATH;
        info = static_cast<PluginInfo*>(library.symbol("exports"));
        ASSERT_NE(info, nullptr);
    }
};

TEST_F(PluginLibrary, RegistrationRecordHasTheHostsLayout)
{
    // Offsets are what a host compiled elsewhere reads: ints padded to pointer width.
    static_assert(offsetof(PluginInfo, fileName) == 8);
    static_assert(offsetof(PluginInfo, className) == 16);
    static_assert(offsetof(PluginInfo, pluginName) == 24);
    static_assert(offsetof(PluginInfo, pluginVersion) == 32);
    static_assert(offsetof(PluginInfo, pluginType) == 40);
    static_assert(offsetof(PluginInfo, initializeFunc) == 48);
    static_assert(offsetof(PluginInfo, delete_func) == 56);
    static_assert(sizeof(PluginInfo) == 64);

    EXPECT_EQ(info->apiBuildVersion, 95);
    ASSERT_NE(info->fileName, nullptr);
    EXPECT_NE(std::string(info->fileName).find("entry.cpp"), std::string::npos);
    EXPECT_STREQ(info->className, "matchbay");
    EXPECT_STREQ(info->pluginName, "Kestrel");
    EXPECT_STREQ(info->pluginVersion, "1.0.0.245");
    EXPECT_EQ(info->pluginType, 1);
    EXPECT_EQ(reinterpret_cast<void*>(info->initializeFunc), library.symbol("getPlugin"));
    EXPECT_EQ(reinterpret_cast<void*>(info->delete_func), library.symbol("deleteMe"));
}

TEST_F(PluginLibrary, EntryPointsHandOutOneOwnerAndReleaseIt)
{
    // Before any getPlugin, and twice after it: nothing to release, nothing breaks.
    info->delete_func();

    PluginOwner* first = info->initializeFunc();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(*first);
    std::weak_ptr<BakkesMod::Plugin::BakkesModPlugin> watch = *first;
    PluginOwner* second = info->initializeFunc();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->get(), second->get());
    EXPECT_EQ(watch.use_count(), 1);

    auto* window = dynamic_cast<BakkesMod::Plugin::PluginWindow*>(first->get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->MenuName(), "matchbay");
    EXPECT_EQ(window->MenuTitle(), "Kestrel - V1.2.0");
    EXPECT_TRUE(window->IsOverlay());

    info->delete_func();
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(*first);
    info->delete_func();

    // A later getPlugin starts a new object.
    PluginOwner* again = info->initializeFunc();
    ASSERT_TRUE(*again);
    info->delete_func();
}

TEST_F(PluginLibrary, OwnerKeptByTheHostOutlivesDeleteMe)
{
    PluginOwner kept = *info->initializeFunc();
    info->delete_func();
    ASSERT_TRUE(kept);
    auto* window = dynamic_cast<BakkesMod::Plugin::PluginWindow*>(kept.get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->MenuName(), "matchbay");
}

} // namespace
