#pragma once

#include <windows.h>

#include <setupapi.h>  // needs the types of windows.h

#include <vector>

#include "serial/list_ports.h"

// The three ways of finding ports; each appends to ports.
void ListPortsSetupApi(std::vector<SSerInfo>& ports);  // current systems
void ListPortsProbe(std::vector<SSerInfo>& ports);     // oldest NT family
void ListPortsRegistry(std::vector<SSerInfo>& ports);  // oldest consumer systems

// The COM port interfaces of one device set, in its order (the work of the
// setup-interface way, given its set).
void ListComPortInterfaces(HDEVINFO set, std::vector<SSerInfo>& ports);

// The device entries under one hardware key of HKLM\Enum.
void ReadRegistryPortEntries(HKEY key, bool isUsb, std::vector<SSerInfo>& ports);
