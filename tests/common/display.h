#pragma once
// Window tests need a display: under Wine an X server named by DISPLAY (real Windows always has one).
// Fixtures that open windows derive from WindowTest, which skips them without it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

struct WindowTest : ::testing::Test {
    void SetUp() override {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        const bool wine = ntdll && GetProcAddress(ntdll, "wine_get_version");
        if (wine && !std::getenv("DISPLAY")) GTEST_SKIP() << "no X display for Wine";
    }
};
