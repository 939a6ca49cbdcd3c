// The top-level windows of every process of the user, as Windows' window
// manager lists them for FindWindow: a table in POSIX shared memory that
// each process enters its titled windows in, per user (and object
// namespace), readable and writable by that user alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vf::posix_system {

// Where a window stands in the table, to take it out again.
struct SharedWindowEntry {
  uint32_t slot;
  uint32_t serial;
};

// Enters a window of this process; nothing when the table cannot be had
// (the window is then seen by this process alone).
std::optional<SharedWindowEntry> EnterSharedWindow(std::u16string_view title);
void RemoveSharedWindow(const SharedWindowEntry& entry);
// A window with this title of another process that is still alive.
std::optional<SharedWindowEntry> FindForeignWindow(std::u16string_view title);
bool ForeignWindowExists(const SharedWindowEntry& entry);
// Removes the list of that shared-memory name ("/vf-windows-...") when no
// window in it belongs to a live process.
void RemoveWindowListIfDead(const std::string& objectName);

}  // namespace vf::posix_system
