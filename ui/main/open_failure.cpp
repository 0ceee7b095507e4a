#include "ui/main/open_failure.h"

#include <cerrno>
#include <cstring>

#include "ui/main/main_text.h"

namespace {

constexpr int kNoSuchPortText = 156;
constexpr int kNoPermissionGroupText = 157;
constexpr int kNoPermissionText = 158;
constexpr int kBusyHolderText = 159;
constexpr int kBusyText = 160;
constexpr int kNotSerialText = 161;
constexpr int kOtherText = 162;

}  // namespace

SOpenProblem DiagnoseOpen(const std::string& /*devicePath*/, int errorNumber,
                          const std::string& message)
{
    SOpenProblem problem;
    switch (errorNumber) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            problem.kind = SOpenProblem::Kind::NoSuchPort;
            break;
        case EACCES:
        case EPERM:
            problem.kind = SOpenProblem::Kind::NoPermission;
            break;
        case EBUSY:
            problem.kind = SOpenProblem::Kind::Busy;
            break;
        case ENOTTY:
            problem.kind = SOpenProblem::Kind::NotSerial;
            break;
        default:
            problem.reason = QString::fromLocal8Bit(errorNumber != 0 ? std::strerror(errorNumber)
                                                                     : message.c_str());
            break;
    }
    return problem;
}

QString OpenFailureText(const QString& port, const SOpenProblem& problem)
{
    switch (problem.kind) {
        case SOpenProblem::Kind::NoSuchPort:
            return MainText(kNoSuchPortText).arg(port);
        case SOpenProblem::Kind::NoPermission:
            // A device owned by root's group gives nobody a group to join.
            if (problem.group.isEmpty() || problem.group == QLatin1String("root"))
                return MainText(kNoPermissionText).arg(port);
            return MainText(kNoPermissionGroupText).arg(port, problem.group);
        case SOpenProblem::Kind::Busy:
            if (problem.holder.isEmpty())
                return MainText(kBusyText).arg(port);
            return MainText(kBusyHolderText).arg(port, problem.holder);
        case SOpenProblem::Kind::NotSerial:
            return MainText(kNotSerialText).arg(port);
        case SOpenProblem::Kind::Other:
            break;
    }
    return MainText(kOtherText).arg(port, problem.reason);
}
