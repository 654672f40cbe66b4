// Turns the file names that mail declares for its attachments into names safe to save and embed.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tessaly {

/// Longest safe name, in UTF-8 bytes, before a " (n)" that makes it unique.
inline constexpr std::size_t kMaxAttachmentNameBytes = 120;

/// The extension, with its dot, that a part of `mimeType` gets when it declares no name:
/// ".txt" for text/plain, ".eml" for message/rfc822, ".bin" for anything unknown.
std::string extensionForMimeType(std::string_view mimeType);

/// The MIME type a file name's extension suggests ("report.PDF" gives "application/pdf"), for
/// files that come without one; "application/octet-stream" when the extension is unknown.
std::string mimeTypeForFileName(std::string_view fileName);

/// The name a declared attachment name is saved and embedded under, before duplicates are
/// numbered. `declaredName` is what the part says (any bytes; "" for none); `index` counts
/// the message's attachments from 1 and names a part that declares nothing ("attachment-3.pdf").
///
/// The result never holds a path separator, a drive, a control or bidi-override character or
/// one of < > " | ? *; never starts with a dot, ends with a dot or a space, is empty, or is a
/// Windows device name; and is at most about kMaxAttachmentNameBytes long, its extension kept.
std::string safeAttachmentName(std::string_view declaredName, std::string_view mimeType, int index);

/// A name given from outside (a worker's answer) made safe to save under, by the rules of
/// safeAttachmentName but with room for the " (n)" that UniqueNames adds: a name those two
/// made comes back as it was. `index` counts from 1 and names what keeps nothing ("attachment-3.bin").
std::string safeNameToSave(std::string_view name, int index);

/// The name a forwarded message is saved under: "<subject>.eml", made safe, with "/", "\" and
/// ":" in the subject turned into "_"; "attachment-N.eml" when nothing of the subject survives.
std::string forwardedMessageName(std::string_view subject, int index);

/// The Subject header of a raw message, unfolded, with RFC 2047 encoded words in UTF-8,
/// US-ASCII, ISO-8859-1 or windows-1252 decoded (others are kept as written). Looks only at
/// the header section; "" when there is no Subject.
std::string subjectOfRawMessage(std::string_view message);

/// A 7-bit stand-in for `utf8Name`, for readers that cannot show Unicode file names (the
/// PDF /F entry): accented Latin letters lose their accents, anything else becomes "_".
std::string asciiFallbackName(std::string_view utf8Name);

/// `name` folded for comparisons that ignore case: ASCII, Latin-1, Latin Extended-A, Greek
/// and Cyrillic letters. Other scripts have no case and stay as they are.
std::string foldCase(std::string_view utf8Name);

/// Hands out names that are unique without regard to case: a name already given (or
/// reserved) comes back as "name (2).ext", "name (3).ext" and so on. Remembers where the
/// numbering of each name stopped, so n copies of one name cost O(n), not O(n²).
class UniqueNames
{
public:
    /// Marks `name` as taken, e.g. because a file of that name is already on disk.
    void reserve(std::string_view name);

    /// True when `name`, ignoring case, is taken.
    bool isTaken(std::string_view name) const;

    /// `name` or its first free numbered variant, which is then taken.
    std::string claim(const std::string &name);

private:
    std::set<std::string> m_taken;                     ///< folded names
    std::unordered_map<std::string, int> m_nextNumber; ///< folded name → first number not yet tried
};

} // namespace tessaly
