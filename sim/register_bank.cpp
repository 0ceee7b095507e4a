#include "sim/register_bank.h"

#include <algorithm>

namespace corvexa::sim {

RegisterBank::RegisterBank(std::uint32_t seed) : m_values(Defaults()), m_rng(seed) {}

std::array<std::uint16_t, RegisterBank::kCount> RegisterBank::Defaults() {
    return {
        0,       // 10 signal source: PT100
        0,       // 11 unit: degrees Celsius
        1,       // 12 not interpreted by the tool
        3,       // 13 baud code: 9600
        1,       // 14 one decimal place
        0,       // 15 zero offset 0.0
        0xFFCE,  // 16 lower range limit -50
        150,     // 17 upper range limit 150
        1,       // 18 gain code: 12.5
        0,       // 19 temperature compensation 0.0
        6553,    // 20 zero sample, ADC counts
        58982,   // 21 full sample, ADC counts
        6400,    // 22 zero output, DAC counts for 4 mA
        32000,   // 23 full output, DAC counts for 20 mA
    };
}

std::optional<std::uint16_t> RegisterBank::Get(std::uint16_t reg) const {
    if (!Contains(reg)) {
        return std::nullopt;
    }
    std::lock_guard lock(m_mutex);
    return m_values[reg - kFirst];
}

bool RegisterBank::Set(std::uint16_t reg, std::uint16_t value) {
    if (!Contains(reg)) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_values[reg - kFirst] = value;
    m_offsets[reg - kFirst] = 0;
    return true;
}

std::optional<std::uint16_t> RegisterBank::ReadForReply(std::uint16_t reg) {
    if (!Contains(reg)) {
        return std::nullopt;
    }
    std::lock_guard lock(m_mutex);
    const std::size_t i = reg - kFirst;
    if (!m_wander || !IsSample(reg)) {
        return m_values[i];
    }
    // A random walk of 1..3 counts a step that turns back at the bound, so
    // consecutive reads always differ yet never drift away.
    std::uniform_int_distribution<int> step(1, 3);
    int delta = step(m_rng);
    if (m_rng() & 1u) {
        delta = -delta;
    }
    int next = m_offsets[i] + delta;
    if (next > kMaxWander || next < -kMaxWander) {
        next = m_offsets[i] - delta;
    }
    m_offsets[i] = next;
    // An ADC reading pins at its ends rather than wrapping round.
    return static_cast<std::uint16_t>(std::clamp(m_values[i] + next, 0, 0xFFFF));
}

void RegisterBank::SetWander(bool on) {
    std::lock_guard lock(m_mutex);
    m_wander = on;
    m_offsets.fill(0);
}

bool RegisterBank::Wander() const {
    std::lock_guard lock(m_mutex);
    return m_wander;
}

}  // namespace corvexa::sim
