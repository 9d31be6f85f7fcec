#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/EditJournal.h"
#include "formats/Result.h"

namespace krellon {

// Where edit journals live and what they are called, shared by the editor that writes them
// and the command line that lists and recovers them. A journal file is named after a hash of
// its set's key, the writing process and the time it began; the key itself, the set's folder
// and file name as bytes, stands in its first frame.

// The folder the journals are kept in, under the user's data location.
std::filesystem::path JournalFolder();
// Where a journal that could not be read whole is moved aside: "damaged" in JournalFolder.
std::filesystem::path DamagedJournalFolder();

// The key of the set fileName (empty: a new set with no file yet) in folder: the folder's
// bytes, "/", the name's bytes.
std::string JournalKey(const std::filesystem::path& folder, const QString& fileName);
// The folder and the file name of a key, as bytes; an empty name for a new set.
std::pair<std::string, std::string> SplitJournalKey(std::string_view key);

// A new journal's file for key, unique to this process and moment.
std::filesystem::path NewJournalPath(std::string_view key);
// The journal files kept for key, by name; other keys that share its hash included.
std::vector<std::filesystem::path> JournalFilesOf(std::string_view key);
// Every journal file kept, by name; those moved aside are not among them.
std::vector<std::filesystem::path> AllJournalFiles();

// What the journal at path holds; a failure when it cannot be opened or its start is
// unreadable.
Result<JournalContent> ReadJournalFile(const std::filesystem::path& path);
// True while a running editor writes the journal at path: it holds a lock on it.
bool JournalInUse(const std::filesystem::path& path);
// Moves the journal at path into DamagedJournalFolder; where it went, or why it could not.
Result<std::filesystem::path> MoveJournalAside(const std::filesystem::path& path);

}  // namespace krellon
