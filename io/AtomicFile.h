// Writing a file without ever losing the previous one: the bytes go to a
// temporary file beside the target, which then replaces it in one rename.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

// Returns false and sets *error (a user-readable text) when any step fails;
// the previous file is then left as it was.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error);
// Whether the new file's bytes must be on disk before it replaces the old
// one. Results a run can simply make again need not wait for the disk; the
// rename still never leaves a half-written file behind a failed run.
enum class FileDurability { kSynced, kUnsynced };
// The same for a text made of pieces, written one after the other.
bool WriteFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string* error,
                         FileDurability durability = FileDurability::kSynced);
// The same for a text made as it is written: `produce` hands its pieces,
// in order, to the writer it is given, and stops when that returns false
// (a failed write) or returns false itself; the save then fails.
using PieceWriter = std::function<bool(std::string_view)>;
bool WriteFileAtomically(const std::string& path, const std::function<bool(const PieceWriter&)>& produce,
                         std::string* error, FileDurability durability = FileDurability::kSynced);

// The same for a file another writer makes (a plug-in): `write` is given a
// temporary name beside path (ending in path's extension) and returns
// whether it made the file whole, setting *error itself when not; the file
// then replaces path in one rename.
bool WriteFileThrough(const std::string& path, const std::function<bool(const std::string& temporary)>& write,
                      std::string* error);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace pelmora
