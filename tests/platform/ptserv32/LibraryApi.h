// The tag-manager library as the saver takes it: loaded from the program folder, its functions
// looked up by name.
#pragma once
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <type_traits>

#include "platform/ptserv32/ptserv32.h"

struct LibraryApi {
    decltype(&::RegisterTag) RegisterTag;
    decltype(&::FindTag) FindTag;
    decltype(&::GetTagValue) GetTagValue;
    decltype(&::GetTagMessage) GetTagMessage;
    decltype(&::SetTagValue) SetTagValue;
    decltype(&::SetTagMessage) SetTagMessage;
    decltype(&::SetAdviseCallback) SetAdviseCallback;
    decltype(&::TagAdvise) TagAdvise;
    decltype(&::TagUnadvise) TagUnadvise;
    decltype(&::PtSetWaitHook) SetWaitHook;
    decltype(&::PtIsLinkLost) IsLinkLost;
    decltype(&::PtLinkGeneration) LinkGeneration;
    decltype(&::PtIsTagPresent) IsTagPresent;
    decltype(&::PtTagFaultText) TagFaultText;
    decltype(&::PtMsSinceHeard) MsSinceHeard;
    decltype(&::PtLinkFault) LinkFault;
};

inline const LibraryApi& Lib() {
    static const LibraryApi api = [] {
        void* lib = dlopen(LEDGRIX_BIN_DIR "/PTSERV32.dll", RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(lib, nullptr) << dlerror();
        LibraryApi a{};
        auto sym = [&](auto& f, const char* name) {
            f = reinterpret_cast<std::decay_t<decltype(f)>>(dlsym(lib, name));
        };
        sym(a.RegisterTag, "RegisterTag");
        sym(a.FindTag, "FindTag");
        sym(a.GetTagValue, "GetTagValue");
        sym(a.GetTagMessage, "GetTagMessage");
        sym(a.SetTagValue, "SetTagValue");
        sym(a.SetTagMessage, "SetTagMessage");
        sym(a.SetAdviseCallback, "SetAdviseCallback");
        sym(a.TagAdvise, "TagAdvise");
        sym(a.TagUnadvise, "TagUnadvise");
        sym(a.SetWaitHook, "PtSetWaitHook");
        sym(a.IsLinkLost, "PtIsLinkLost");
        sym(a.LinkGeneration, "PtLinkGeneration");
        sym(a.IsTagPresent, "PtIsTagPresent");
        sym(a.TagFaultText, "PtTagFaultText");
        sym(a.MsSinceHeard, "PtMsSinceHeard");
        sym(a.LinkFault, "PtLinkFault");
        return a;
    }();
    return api;
}
