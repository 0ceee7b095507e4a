#include "ui/main/open_failure.h"

#include <cerrno>
#include <cstring>

#include "serial/port_access.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace maintext;

SOpenProblem DiagnoseOpen(const std::string& devicePath, int errorNumber,
                          const std::string& message) {
    SOpenProblem problem;
    // The terminal calls a serial port answers are refused by anything else.
    if (errorNumber == ENOTTY) {
        problem.kind = SOpenProblem::Kind::NotSerial;
        return problem;
    }
    const serial::OpenDiagnosis diagnosis =
        serial::DiagnoseOpenFailure(devicePath, errorNumber, message);
    problem.group = QString::fromLocal8Bit(diagnosis.group.c_str());
    problem.holder = QString::fromLocal8Bit(diagnosis.holder.c_str());
    switch (diagnosis.problem) {
        case serial::OpenProblem::NoSuchPort:
            problem.kind = SOpenProblem::Kind::NoSuchPort;
            break;
        case serial::OpenProblem::NoPermission:
            problem.kind = SOpenProblem::Kind::NoPermission;
            break;
        case serial::OpenProblem::Busy:
            problem.kind = SOpenProblem::Kind::Busy;
            break;
        case serial::OpenProblem::Other:
            problem.kind = SOpenProblem::Kind::Other;
            // The system's own words for the number; the port's message
            // when there is none.
            problem.reason = QString::fromLocal8Bit(errorNumber != 0 ? std::strerror(errorNumber)
                                                                     : message.c_str());
            break;
    }
    return problem;
}

QString OpenFailureText(const QString& port, const SOpenProblem& problem) {
    switch (problem.kind) {
        case SOpenProblem::Kind::NoSuchPort:
            return MainText(kNoSuchPortText).arg(port);
        case SOpenProblem::Kind::NoPermission:
            // A device owned by root's group gives nobody a group to join.
            if (problem.group.isEmpty() || problem.group == QLatin1String("root"))
                return MainText(kNoPermissionText).arg(port);
            return MainText(kNoPermissionGroupText).arg(port, problem.group);
        case SOpenProblem::Kind::Busy:
            if (problem.holder.isEmpty()) return MainText(kBusyText).arg(port);
            return MainText(kBusyHolderText).arg(port, problem.holder);
        case SOpenProblem::Kind::NotSerial:
            return MainText(kNotSerialText).arg(port);
        case SOpenProblem::Kind::Other:
            break;
    }
    return MainText(kOtherOpenFailureText).arg(port, problem.reason);
}
