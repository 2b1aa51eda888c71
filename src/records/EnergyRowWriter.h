#pragma once

#include "core/AtomicFile.h"

#include <optional>
#include <string>

namespace quorvane {

// Writes the rows of the monthly energy log. A row is final when a close or the end of a day
// writes it. Between those, the same row is kept current on disk as the "open" row of this
// run: written once, then replaced in place, so a crash or a power cut leaves the day's
// energies as they stood at the last save, and the file holds the same rows it would hold
// without the saves: one per close or day end.
// Thread ownership: the core thread.
class EnergyRowWriter {
public:
    // Writes `row` as this run's open row of the file at `path`.
    [[nodiscard]] FileWriteError WriteOpen(const std::string& path, const std::string& row);
    // Writes `row` as a final row: in place of the open row when the file has one, appended
    // otherwise. The next open row is a new row.
    [[nodiscard]] FileWriteError WriteFinal(const std::string& path, const std::string& row);

private:
    [[nodiscard]] FileWriteError write(const std::string& path, const std::string& row);

    std::string m_openPath;
    std::optional<std::string> m_openPrefix; // m_openPath's content before the open row
};

} // namespace quorvane
