#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "serial/impl/unix.h"
#include "serial/port_access.h"

namespace fs = std::filesystem;

namespace serial {

namespace {

std::string GroupOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};
    }
    // getgrgid_r: the command-line tool opens several ports on threads.
    group entry{};
    group* found = nullptr;
    char buffer[4096];
    if (::getgrgid_r(info.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
        return std::to_string(info.st_gid);
    }
    return found->gr_name;
}

std::string CommandName(const std::string& pid) {
    std::string name;
    if (FILE* comm = std::fopen(("/proc/" + pid + "/comm").c_str(), "r")) {
        char text[64] = {};
        if (std::fgets(text, sizeof text, comm) != nullptr) {
            name = text;
            if (!name.empty() && name.back() == '\n') name.pop_back();
        }
        std::fclose(comm);
    }
    return name.empty() ? pid : pid + " (" + name + ")";
}

// The process holding the exclusive lock this program's open takes, from
// /proc/locks: "2: FLOCK  ADVISORY  WRITE 1685 00:19:4 0 EOF" (device of
// the file system in hex, inode in decimal; waiters carry "->").
std::string FlockHolder(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream words(line);
        std::string number, kind, mode, access, pid, file;
        if (!(words >> number >> kind) || kind != "FLOCK") continue;
        if (!(words >> mode >> access >> pid >> file)) continue;
        unsigned major = 0, minor = 0;
        unsigned long inode = 0;
        char tail = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%lu%c", &major, &minor, &inode, &tail) == 3 &&
            major == ::major(info.st_dev) && minor == ::minor(info.st_dev) &&
            inode == info.st_ino) {
            return pid;
        }
    }
    return {};
}

// Another process with the device open, from the /proc/*/fd links.
std::string OpenerOf(const std::string& path) {
    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    if (ec) {
        return {};
    }
    const std::string self = std::to_string(::getpid());
    for (fs::directory_iterator proc("/proc", ec), end; !ec && proc != end; proc.increment(ec)) {
        const std::string pid = proc->path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
            continue;
        }
        std::error_code fdError;
        for (fs::directory_iterator fd(proc->path() / "fd", fdError), fdEnd;
             !fdError && fd != fdEnd; fd.increment(fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd->path(), linkError) == device) return pid;
        }
    }
    return {};
}

// The process holding the port, preferring the holder of the lock; empty
// when none is found.
std::string HolderPid(const std::string& path) {
    std::string pid = FlockHolder(path);
    if (pid.empty()) pid = OpenerOf(path);
    return pid;
}

// "process 1234 (minicom)".
std::string HolderText(const std::string& pid) {
    if (pid.empty()) return "another program";
    if (pid == std::to_string(::getpid())) return "this program";
    return "process " + CommandName(pid);
}

}  // namespace

OpenDiagnosis DiagnoseOpenFailure(const std::string& port, int32_t errorNumber,
                                  const std::string& message) {
    const std::string path = MakeDevicePath(port);
    switch (errorNumber) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return {OpenProblem::NoSuchPort,
                    "no such port: " + path + "; `corvexa-cli ports` lists the ports present"};
        case EACCES:
        case EPERM: {
            const std::string group = GroupOf(path);
            if (group.empty() || group == "root") {
                return {OpenProblem::NoPermission,
                        "permission denied on " + path + "; ask for read and write access to it",
                        group};
            }
            return {OpenProblem::NoPermission,
                    "permission denied on " + path + " (group " + group +
                        "): join the group with `sudo usermod -aG " + group +
                        " $USER`, then log in again",
                    group};
        }
        case ENOTTY:
            return {OpenProblem::Other, path +
                                            " is not a serial port (a terminal or console); "
                                            "`corvexa-cli ports` lists the ports present"};
        case EBUSY: {
            const std::string pid = HolderPid(path);
            return {OpenProblem::Busy,
                    "port busy: " + path + " is in use by " + HolderText(pid) +
                        "; close that program and try again",
                    {},
                    pid.empty() ? std::string() : CommandName(pid)};
        }
        default:
            break;
    }
    std::string text = "cannot open " + path + ": ";
    text += errorNumber != 0 ? std::strerror(errorNumber) : message;
    return {OpenProblem::Other, text};
}

std::string StableName(const std::string& devicePath) {
    std::error_code ec;
    const fs::path device = fs::canonical(MakeDevicePath(devicePath), ec);
    if (ec) {
        return {};
    }
    for (fs::directory_iterator link("/dev/serial/by-id", ec), end; !ec && link != end;
         link.increment(ec)) {
        std::error_code linkError;
        if (fs::canonical(link->path(), linkError) == device && !linkError) {
            return link->path().string();
        }
    }
    return {};
}

PortState ProbePort(const std::string& devicePath) {
    const std::string path = MakeDevicePath(devicePath);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (DiagnoseOpenFailure(devicePath, errno, "").problem) {
            case OpenProblem::NoSuchPort:
                return PortState::Missing;
            case OpenProblem::NoPermission:
                return PortState::NoPermission;
            case OpenProblem::Busy:
                return PortState::Busy;
            case OpenProblem::Other:
                break;
        }
        return PortState::Unusable;
    }
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free ? PortState::Free : PortState::Busy;
}

}  // namespace serial
