// Whole-file access and the machine-wide application-data folder.
#pragma once

#include <optional>
#include <string>

namespace vf::platform {

// The common application-data folder; empty when it cannot be found.
std::u16string CommonAppDataFolder();
char16_t PathSeparator();

// The file's bytes; nothing when it cannot be opened.
std::optional<std::string> ReadWholeFile(const std::u16string& path);
// Truncates the file (making it when missing) and writes the bytes in place;
// false when it cannot be written (e.g. no folder).
bool RewriteWholeFile(const std::u16string& path, const std::string& bytes);
// Writes the bytes beside the file and puts them in its place in one step, so
// that a writer killed meanwhile leaves the old file or the new one, never a
// part: the callers hold a mutex, so one name beside it serves them all.
// Where that cannot be done (a folder that takes no new file, a reader on
// Windows that does not share deletion), the file is rewritten in place.
bool ReplaceWholeFile(const std::u16string& path, const std::string& bytes);

}  // namespace vf::platform
