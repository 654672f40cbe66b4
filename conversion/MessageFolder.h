// Mail sources that are folders of message files: a Maildir (cur/ and new/) and a folder of
// .eml files. Each file is one message, converted as one cut from a mailbox.
#pragma once

#include "conversion/MailboxFileReader.h"
#include "support/Result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// One message file of a source folder.
struct MessageFolderFile
{
    std::string path;
    /// Its path in the source folder, '/' between names ("cur/1600000000.M1.host:2,S").
    std::string relativePath;
    /// The Maildir flags in its name, spelled out ("Maildir flags: seen, trashed"); else empty.
    std::string notes;
};

/// Whether `path` names a source folder: a Maildir, or a folder named with a trailing
/// separator as the folder scan names an .eml folder. A folder named otherwise is no source:
/// it fails as a mailbox would.
bool isSourceFolder(const std::string &path);

/// Whether the folder at `path` holds a "cur" and a "new" folder.
bool isMaildir(const std::string &path);

/// The message files of the source folder at `folder`, in the order they are converted: for a
/// Maildir the files of cur/ and new/ by delivery time (the number that starts the name), then
/// name; else the ".eml" files directly in it by name, numbers in names compared as numbers.
/// Hidden files and links are left out. Fails with the reason when a folder cannot be listed.
Result<std::vector<MessageFolderFile>> messageFilesOf(const std::string &folder);

/// The bytes a source holds: a mailbox file's size, or the sum of a source folder's message
/// files; 0 when it cannot be read.
std::uint64_t sourceBytes(const std::string &path);

/// For dividing a source folder between shards: the positions, in messageFilesOf's list, of
/// the files whose first byte lies in `range` of the bytes of all its files one after the
/// other. Ranges that meet give lists that meet, so each file falls in exactly one.
Result<ByteRange> messageFilesInByteRange(const std::string &folder, ByteRange range);

/// What identifies a message file of a source folder between runs, given its relative path:
/// the path itself, but for a Maildir file ("cur/…", "new/…") its unique name alone (before
/// ":2,"), which stays the same when a mail client moves it from new/ to cur/ or flags it.
std::string sourceFileIdentity(std::string_view relativePath);

/// The flags of a Maildir file name (the letters after ":2,"), spelled out; "" when it has none.
std::string maildirFlagNotes(std::string_view fileName);

/// Whether the message file at `a` (a path relative to its source folder, as messageFilesOf
/// gives it) is converted before the one at `b`: Maildir files ("cur/…", "new/…") by delivery
/// time, then name; other files in natural order (namesInNaturalOrder).
bool sourceFilesInOrder(std::string_view a, std::string_view b);

/// Whether `a` sorts before `b` when runs of digits are compared as numbers ("2.eml" before
/// "10.eml"); equal numbers and text compare by the bytes.
bool namesInNaturalOrder(std::string_view a, std::string_view b);

} // namespace tessaly
