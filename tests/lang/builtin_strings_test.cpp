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
}

TEST(BuiltinFallback, IdsOutsideTheTableYieldTheDefault) {
  for (int id : {0, 100, 156, 999, -1}) {
    EXPECT_EQ(GetResString(L"Main", id, L"x"), L"x") << id;
  }
}
