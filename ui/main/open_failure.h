#pragma once

#include <QString>
#include <string>

// Why a port did not open, as the window tells it: the kind of problem and
// what the technician can do about it, in the loaded language.
struct SOpenProblem {
    enum class Kind { NoSuchPort, NoPermission, Busy, NotSerial, Other };
    Kind kind = Kind::Other;
    QString group;   // owner group of the device (NoPermission), may be empty
    QString holder;  // the program holding the port (Busy), may be empty
    QString reason;  // the system's words (Other)
};

// From the failed open's error number and message, and the device it tried.
SOpenProblem DiagnoseOpen(const std::string& devicePath, int errorNumber,
                          const std::string& message);

// "Cannot open <port>: ..." for the message box.
QString OpenFailureText(const QString& port, const SOpenProblem& problem);
