// Thread failures reach the user as a message box, from whichever thread
// they were hit on.

#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <thread>

#include "app/corvexa_app.h"
#include "threads/thread_exception.h"

namespace {

TEST(ThreadErrorReporter, AWorkerThreadQueuesTheBoxAndGoesOn) {
    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    InstallThreadErrorReporter();

    QStringList shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                shown << box->text();
                box->accept();
            }
        }
    });
    closer.start(10);

    // The worker must not wait for the window thread (which might be
    // joining it); it gets the OK answer at once.
    int answer = 0;
    std::thread worker([&] {
        answer =
            CThreadException(nullptr, L"Thread start failed", CThreadException::TypeCreateFailed)
                .ReportError();
    });
    worker.join();
    EXPECT_EQ(answer, 1);

    for (int i = 0; i < 200 && shown.isEmpty(); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(shown, QStringList{QStringLiteral("Thread start failed")});
    SetThreadErrorReporter({});
}

}  // namespace
