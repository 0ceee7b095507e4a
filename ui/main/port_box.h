#pragma once

#include <QComboBox>
#include <functional>

// The port box: a drop-down list that asks for a fresh port list each time
// the technician opens it, so a port plugged in a moment ago is offered.
class CPortBox : public QComboBox {
public:
    explicit CPortBox(std::function<void()> aboutToOpen, QWidget* parent = nullptr)
        : QComboBox(parent), m_aboutToOpen(std::move(aboutToOpen)) {}

    void showPopup() override {
        if (m_aboutToOpen) m_aboutToOpen();
        QComboBox::showPopup();
    }

private:
    std::function<void()> m_aboutToOpen;
};
