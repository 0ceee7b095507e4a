#include <errno.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
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

// "1234 (minicom)" for the first process that has the device open.
std::string HolderOf(const std::string& path) {
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
            if (fs::read_symlink(fd->path(), linkError) == device) {
                std::string name;
                if (FILE* comm = std::fopen((proc->path() / "comm").c_str(), "r")) {
                    char text[64] = {};
                    if (std::fgets(text, sizeof text, comm) != nullptr) {
                        name = text;
                        if (!name.empty() && name.back() == '\n') name.pop_back();
                    }
                    std::fclose(comm);
                }
                return name.empty() ? pid : pid + " (" + name + ")";
            }
        }
    }
    return {};
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
                        "permission denied on " + path + "; ask for read and write access to it"};
            }
            return {OpenProblem::NoPermission,
                    "permission denied on " + path + " (group " + group +
                        "): join the group with `sudo usermod -aG " + group +
                        " $USER`, then log in again"};
        }
        case EBUSY: {
            const std::string holder = HolderOf(path);
            return {OpenProblem::Busy,
                    "port busy: " + path + " is in use by " +
                        (holder.empty() ? std::string("another program") : "process " + holder) +
                        "; close that program and try again"};
        }
        default: break;
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

}  // namespace serial
