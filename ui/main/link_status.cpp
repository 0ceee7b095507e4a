#include "ui/main/link_status.h"

#include <bit>

#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace maintext;

void CLinkStatus::SetWaiting() {
    *this = CLinkStatus();
    m_state = State::Waiting;
}

void CLinkStatus::RegisterRead(int index, int count, bool answered) {
    m_state = State::Reading;
    m_done = index + 1;
    m_count = count;
    if (!answered && index >= 0 && index < 32) m_unanswered |= 1u << index;
}

int CLinkStatus::UnansweredCount() const {
    return std::popcount(m_unanswered);
}

QString CLinkStatus::Text() const {
    switch (m_state) {
        case State::Offline:
            return MainText(kOfflineText);
        case State::Waiting:
            return MainText(kWaitingText);
        case State::Reading:
            return MainText(kReadingText).arg(m_done).arg(m_count);
        case State::Probing:
            return MainText(kProbingText).arg(m_probeBaud);
        case State::Online:
            break;
    }
    if (m_unanswered == 0) return MainText(kOnlineText);
    return MainText(kOnlineWithGapsText).arg(UnansweredCount()).arg(m_count);
}
