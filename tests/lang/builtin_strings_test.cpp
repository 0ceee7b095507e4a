#include <gtest/gtest.h>

#include "lang/language.h"

// Without a loaded pack the built-in table answers for every group.
TEST(BuiltinFallback, WindowTextsComeFromTheTableWhenNoPackIsLoaded) {
    EXPECT_EQ(GetResString(L"Main", 131, L""), L"Modify");
    EXPECT_EQ(GetResString(L"Login", 103, L""), L"User Version");
    EXPECT_EQ(GetResString(L"Main", 101, L""), L"关于 Corvexa(&A)...");
    EXPECT_EQ(GetResString(L"Main", 124, L""),
              L"Thermal resistance: zero sampling should give 100Ω signal; "
              L"300Ω signal should be given when full sampling");
    EXPECT_EQ(GetResString(L"Main", 151, L"x"), L"Float Level");
    EXPECT_EQ(GetResString(L"Main", 154, L"x"), L"Not sent: nothing selected");
    EXPECT_EQ(GetResString(L"Main", 106, L"x"), L"Baud Rate");
    EXPECT_EQ(GetResString(L"Main", 114, L"x"),
              L"Zero offset is used for physical quantity correction: output value = "
              L"measured value + zero offset value");
    EXPECT_EQ(GetResString(L"Main", 164, L"x"), L"Reading parameters %1 of %2");
    EXPECT_EQ(GetResString(L"Main", 232, L"x"), L"About Corvexa\u2026");
}

TEST(BuiltinFallback, IdsOutsideTheTableYieldTheDefault) {
    for (int id : {0, 100, 229, 235, 999, -1}) {
        EXPECT_EQ(GetResString(L"Main", id, L"x"), L"x") << id;
    }
}
