#include "ui/dialogs/appstate.h"

std::atomic<int> factoryMode{0};

namespace {
std::atomic<QObject*> mainWindow{nullptr};
}

void SetMainWindow(QObject* window) {
    mainWindow = window;
}
QObject* MainWindow() {
    return mainWindow;
}
