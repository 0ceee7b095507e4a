#pragma once

#include <windows.h>

#include <vector>

#include "serial/list_ports.h"

// The three ways of finding ports; each appends to ports.
void ListPortsSetupApi(std::vector<SSerInfo>& ports);  // current systems
void ListPortsProbe(std::vector<SSerInfo>& ports);     // oldest NT family
void ListPortsRegistry(std::vector<SSerInfo>& ports);  // oldest consumer systems

// The device entries under one hardware key of HKLM\Enum.
void ReadRegistryPortEntries(HKEY key, bool isUsb, std::vector<SSerInfo>& ports);
