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

// What the file holds: the entries, in the order of their numbers, whose
// "Addr"n, "Port"n or "Comment"n keys are present (missing keys of an entry
// read as empty texts). For a file the program wrote, that is entries 1 to
// "No". A hand-edited file may disagree with its count; its keys win, so that
// every entry the user wrote is shown and saved again: a count beyond the last
// entry present adds no empty rows, entries beyond the count are shown, and
// gaps in the numbering close up. Never empty: with no entry at all the
// directory is the single entry "Com1".
struct PortDirectoryContents {
    std::vector<PortEntry> entries;
    // Set when the file exists but could not be read; the entries are then
    // the fallback, and the file must not be written.
    std::string error;
    // Set when lines of the file could not be read: saving will leave them out.
    std::string warning;
};

PortDirectoryContents ReadPortDirectory(const std::string& folder);

// Writes the count and every entry as numbers 1 to N, in order, and removes
// every other entry key. Other keys and sections stay. Returns an error text,
// empty on success.
std::string WritePortDirectory(const std::string& folder, const std::vector<PortEntry>& entries);

}  // namespace morvik::portdir
