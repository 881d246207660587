#pragma once
// The port directory file "DectPort.ini": the user's list of serial ports and
// network addresses, one section [Port] with No and Addr<n>/Port<n>/Comment<n>.

#include <string>
#include <vector>

namespace morvik::portdir {

inline constexpr const char* kPortDirectoryFileName = "DectPort.ini";

struct PortEntry {
    std::string address;  // "Com" + serial port number, or an IP address / host name
    std::string ipPort;   // TCP port; unused for serial entries
    std::string comment;

    bool operator==(const PortEntry&) const = default;
};

// What the file holds. Never empty: a missing file, a missing section or a
// count below 1 gives the single entry "Com1". error is set when the file
// exists but could not be read; the entries are then the fallback.
struct PortDirectoryContents {
    std::vector<PortEntry> entries;
    std::string error;
};

PortDirectoryContents ReadPortDirectory(const std::string& folder);

// Writes the count and every entry in order, and removes the keys of entries
// beyond the new count up to the count the file held before. Returns an error
// text, empty on success.
std::string WritePortDirectory(const std::string& folder, const std::vector<PortEntry>& entries);

}  // namespace morvik::portdir
