// The traffic window with the full ring of 10,000 entries while the line
// brings 32 entries a second (16 readings): the time of each poll (new rows
// in, oldest out, scrolled to the newest) and of the repaint that follows,
// on the window's own 250 ms timer cadence (8 entries a poll). Also the
// first poll, when the window opens on a full ring.
#include <QApplication>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "protocol/traffic_record.h"
#include "ui/main/traffic_ids.h"
#include "ui/main/traffic_model.h"
#include "ui/main/traffic_window.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

void OneExchange(protocol::CTrafficRecord& record, std::uint16_t word) {
    const protocol::Frame request = protocol::ReadRequest(20);
    protocol::ReceivedRun reply;
    reply.kind = protocol::ReceivedRun::Kind::Reply;
    reply.bytes = {
        0x01, 0x03, 0x02, static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word),
        0x00, 0x00};
    reply.reply.kind = protocol::ReplyKind::RegisterValue;
    reply.reply.value = word;
    reply.awaited = true;
    reply.request = request;
    record.OnSent(request, 1, 3);
    record.OnReceivedRuns({reply});
}

void Print(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("  %-26s median %.3f ms, 95th %.3f ms, max %.3f ms\n", what, ms[ms.size() / 2],
                ms[ms.size() * 95 / 100], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    protocol::CTrafficRecord record;
    for (int i = 0; i < 5000; ++i) OneExchange(record, static_cast<std::uint16_t>(i));

    auto start = Clock::now();
    CTrafficWindow window(record, nullptr);  // its constructor takes the whole ring
    window.resize(900, 500);
    window.show();
    QApplication::processEvents();
    const double openMs = Ms(Clock::now() - start).count();

    auto* table = window.findChild<QTableView*>(QString::number(trafficwnd::IDC_TRAFFIC_TABLE));
    constexpr int kPolls = 120;  // 30 s at 32 entries a second
    std::vector<double> poll, paint;
    for (int i = 0; i < kPolls; ++i) {
        for (int k = 0; k < 4; ++k) OneExchange(record, static_cast<std::uint16_t>(i));
        start = Clock::now();
        window.Update();
        poll.push_back(Ms(Clock::now() - start).count());
        start = Clock::now();
        table->viewport()->repaint();
        QApplication::processEvents();
        paint.push_back(Ms(Clock::now() - start).count());
    }
    std::printf("traffic window, %d rows (ring full), 32 entries/s polled every 250 ms:\n",
                window.Model().rowCount());
    std::printf("  opening on a full ring     %.1f ms\n", openMs);
    Print("poll (rows in/out, scroll)", poll);
    Print("repaint of the table", paint);
    return 0;
}
