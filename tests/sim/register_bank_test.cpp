#include "sim/register_bank.h"

#include <gtest/gtest.h>

#include <set>

namespace corvexa::sim {
namespace {

TEST(RegisterBank, OnlyRegisters10To23Exist) {
    RegisterBank bank;
    for (unsigned reg = 0; reg < 0x10000; ++reg) {
        const auto r = static_cast<std::uint16_t>(reg);
        const bool inside = reg >= 10 && reg <= 23;
        ASSERT_EQ(bank.Get(r).has_value(), inside) << reg;
        ASSERT_EQ(bank.ReadForReply(r).has_value(), inside) << reg;
        ASSERT_EQ(bank.Set(r, 7), inside) << reg;
    }
    EXPECT_EQ(bank.Get(23), 7);
}

TEST(RegisterBank, SampleRegistersWanderAFewCountsAroundTheStoredValue) {
    RegisterBank bank;
    for (std::uint16_t reg : {20, 21}) {
        const int stored = *bank.Get(reg);
        std::set<int> seen;
        int previous = stored;
        for (int i = 0; i < 500; ++i) {
            const int value = *bank.ReadForReply(reg);
            EXPECT_LE(std::abs(value - stored), RegisterBank::kMaxWander);
            EXPECT_NE(value, previous) << "a live sample moves on every read";
            EXPECT_LE(std::abs(value - previous), 3);
            previous = value;
            seen.insert(value);
        }
        EXPECT_GT(seen.size(), 5u);
        EXPECT_EQ(bank.Get(reg), stored) << "wandering must not change the stored value";
    }
}

TEST(RegisterBank, OtherRegistersAndStillSamplesDoNotWander) {
    RegisterBank bank;
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(bank.ReadForReply(22), 6400);
    }
    bank.SetWander(false);
    const auto stored = bank.Get(20);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(bank.ReadForReply(20), stored);
    }
}

TEST(RegisterBank, WritingASampleRestartsItsWanderFromTheNewValue) {
    RegisterBank bank;
    for (int i = 0; i < 20; ++i) {
        bank.ReadForReply(20);
    }
    bank.Set(20, 1000);
    const int value = *bank.ReadForReply(20);
    EXPECT_GE(value, 997);
    EXPECT_LE(value, 1003);
}

TEST(RegisterBank, WanderPinsAtTheEndsOfTheWordInsteadOfWrapping) {
    RegisterBank bank;
    bank.Set(20, 0);
    bank.Set(21, 0xFFFF);
    for (int i = 0; i < 100; ++i) {
        EXPECT_LE(*bank.ReadForReply(20), RegisterBank::kMaxWander);
        EXPECT_GE(*bank.ReadForReply(21), 0xFFFF - RegisterBank::kMaxWander);
    }
}

}  // namespace
}  // namespace corvexa::sim
