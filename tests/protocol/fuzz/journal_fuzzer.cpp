// Replays arbitrary text as a session journal, as the window does with a
// journal a crash cut short, and checks what the certificate relies on:
// no crash, a verification's numbers computed again from its points, and
// only confirmed writes counted as changes.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "protocol/session_journal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const auto content = protocol::ReadJournal(in);
    if (!content) return 0;
    const protocol::CalibrationSession& s = content->session;
    for (auto stage : {protocol::VerificationStage::AsFound, protocol::VerificationStage::AsLeft}) {
        const auto& run = s.Verification(stage);
        if (!run) continue;
        for (const protocol::PointResult& p : run->points) {
            const auto again = protocol::EvaluatePoint(run->plan, p.percent, p.applied, p.measured);
            if (again.pass != p.pass) std::abort();
            if (p.pass && !(std::fabs(p.errorPercent) <= run->plan.tolerancePercent * 1.000001))
                std::abort();
        }
        (void)run->Passed();
    }
    for (int index = 0; index < protocol::kRegisterCount; ++index) {
        if (!s.Written(index)) continue;
        bool confirmed = false;
        for (const protocol::SessionWrite& w : s.Writes())
            confirmed = confirmed || (w.outcome == protocol::WriteOutcome::Succeeded &&
                                      protocol::ParamIndexOf(w.code) == index);
        if (!confirmed) std::abort();
    }
    return 0;
}
