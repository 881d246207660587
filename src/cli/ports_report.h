#pragma once
// The ports command: the serial ports present with their devices, their
// stable /dev/serial/by-id names and who holds them, and the entries of the
// port directory "DectPort.ini", as text or JSON.

#include <string>

namespace morvik::cli {

// programFolder ends in "/"; its "morvik2.ini" may bind port numbers to devices.
std::string PortsReport(const std::string& programFolder, bool json);

}  // namespace morvik::cli
