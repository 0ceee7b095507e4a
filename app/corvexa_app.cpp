#include "app/corvexa_app.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>
#include <memory>

#include "lang/language.h"
#include "sim/simulated_transmitter.h"
#include "threads/thread_exception.h"
#include "ui/main/corvexa_dlg.h"

namespace {

void ShowThreadError(const QString& text) {
    QMessageBox::critical(nullptr, QStringLiteral("Corvexa"), text);
}

// A port the system does not list. The port box shows what stands between
// the parentheses, so the path goes there; label defaults to the path.
SSerInfo PortRecord(const std::string& path, std::wstring label = {}) {
    SSerInfo info;
    const std::wstring wpath = QString::fromLocal8Bit(path.c_str()).toStdWString();
    if (label.empty()) label = wpath;
    info.devicePath = wpath;
    info.portName = wpath;
    info.friendlyName = label + L" (" + wpath + L")";
    info.description = label;
    return info;
}

}  // namespace

void InstallThreadErrorReporter() {
    SetThreadErrorReporter([](const std::wstring& text) -> int {
        const QString message = QString::fromStdWString(text);
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) {
            std::fprintf(stderr, "corvexa: %s\n", message.toLocal8Bit().constData());
            return 1;
        }
        if (QThread::currentThread() == app->thread()) {
            ShowThreadError(message);
        } else {
            // Waiting here could deadlock a window thread that joins us.
            QMetaObject::invokeMethod(
                app, [message] { ShowThreadError(message); }, Qt::QueuedConnection);
        }
        return 1;  // the OK button
    });
}

int CCorvexaApp::Run() {
    InitLanguage();
    InstallThreadErrorReporter();

    CCorvexaDlg::SOptions windowOptions;
    std::unique_ptr<corvexa::sim::SimulatedTransmitter> simulator;
    if (m_options.simulate) {
        try {
            // Nobody reads its record here: a session may run for hours.
            corvexa::sim::SimulatedTransmitter::Options simulated;
            simulated.recorded = 0;
            simulator = std::make_unique<corvexa::sim::SimulatedTransmitter>(simulated);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "corvexa: cannot start the simulated transmitter: %s\n", e.what());
            return 1;
        }
        windowOptions.extraPorts.push_back(
            PortRecord(simulator->SlavePath(), L"Simulated transmitter"));
    }
    for (const std::string& path : m_options.ports)
        windowOptions.extraPorts.push_back(PortRecord(path));
    if (!m_options.trace.empty()) {
        windowOptions.trace = std::make_shared<protocol::CTraceFile>(m_options.trace);
        if (!windowOptions.trace->Error().empty()) {
            std::fprintf(stderr, "corvexa: %s\n", windowOptions.trace->Error().c_str());
            return 2;
        }
    }

    {
        // The simulator outlives the window, so LinkEnd at exit is answered.
        CCorvexaDlg window(std::move(windowOptions));
        window.DoModal();
    }
    SetThreadErrorReporter({});
    return 0;
}
