#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>

namespace corvexa::sim {

// The transmitter's fourteen holding registers, 10 to 23, with the values of
// a PT100 transmitter fresh from the factory. The two sample registers (20
// zero sample, 21 full sample) read like a live ADC: each read wanders a few
// counts around the stored value. Safe to use from several threads.
class RegisterBank {
public:
    static constexpr std::uint16_t kFirst = 10;
    static constexpr std::uint16_t kLast = 23;
    static constexpr std::uint16_t kCount = kLast - kFirst + 1;
    // The wandering stays within this many counts of the stored value.
    static constexpr int kMaxWander = 8;

    explicit RegisterBank(std::uint32_t seed = 20261207);

    static bool Contains(std::uint16_t reg) { return reg >= kFirst && reg <= kLast; }
    static std::array<std::uint16_t, kCount> Defaults();

    // The stored value, without wandering; nullopt outside 10..23.
    std::optional<std::uint16_t> Get(std::uint16_t reg) const;
    // Stores a value; false (and nothing stored) outside 10..23. Storing a
    // sample register restarts its wandering from the new value.
    bool Set(std::uint16_t reg, std::uint16_t value);
    // The value a read request sees; moves the sample registers.
    std::optional<std::uint16_t> ReadForReply(std::uint16_t reg);

    void SetWander(bool on);
    bool Wander() const;

private:
    static bool IsSample(std::uint16_t reg) { return reg == 20 || reg == 21; }

    mutable std::mutex m_mutex;
    std::array<std::uint16_t, kCount> m_values;
    std::array<int, kCount> m_offsets{};
    bool m_wander = true;
    std::minstd_rand m_rng;
};

}  // namespace corvexa::sim
