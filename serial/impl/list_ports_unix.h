#pragma once

#include <string>
#include <vector>

#include "serial/list_ports.h"

// Linux listing with its roots injectable, so tests can hand in a fake
// sysfs tree and device folder. ListSerialPorts uses /sys/class/tty, /dev.
void ListSerialPortsIn(std::vector<SSerInfo>& ports, bool dropBusy, const std::string& ttyClassDir,
                       const std::string& devDir);
