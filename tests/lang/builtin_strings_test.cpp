#include <gtest/gtest.h>

#include "lang/language.h"

// Without a loaded pack the built-in table answers for every group.
TEST(BuiltinFallback, WindowTextsComeFromTheTableWhenNoPackIsLoaded) {
    const struct {
        const wchar_t* group;
        int id;
        const wchar_t* text;
    } cases[] = {
        {L"Main", 131, L"Modify"},
        {L"Login", 103, L"User Version"},
        {L"Main", 101, L"关于 Corvexa(&A)..."},
        {L"Main", 124,
         (L"Thermal resistance: zero sampling should give 100Ω signal; "
          L"300Ω signal should be given when full sampling")},
        {L"Main", 151, L"Float Level"},
        {L"Main", 154, L"Not sent: nothing selected"},
        {L"Main", 106, L"Baud Rate"},
        {L"Main", 114,
         (L"Zero offset is used for physical quantity correction: output value = "
          L"measured value + zero offset value")},
        {L"Main", 164, L"Reading parameters %1 of %2"},
        {L"Main", 232, L"About Corvexa\u2026"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetResString(c.group, c.id, L"x"), c.text) << c.id;
    }
}

TEST(BuiltinFallback, IdsOutsideTheTableYieldTheDefault) {
    for (int id : {0, 100, 229, 235, 999, -1}) {
        EXPECT_EQ(GetResString(L"Main", id, L"x"), L"x") << id;
    }
}
