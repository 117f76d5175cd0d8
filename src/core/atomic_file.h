#pragma once
#include <string>
#include <string_view>

namespace velmora {

// Replaces `path` with `bytes` so that a crash or power cut mid-write never leaves a
// truncated file: writes a temporary file in the same folder, flushes it to disk, then
// renames it over the target. On failure the target is untouched, the temporary file is
// removed and `error` (when given) says why.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

// Reads a whole file; false when it cannot be opened. Reads at most `maxBytes`.
bool ReadWholeFile(const std::string& path, std::string& out,
                   std::size_t maxBytes = 64u * 1024u * 1024u);

}  // namespace velmora
