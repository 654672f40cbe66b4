#include "mailconverter/readers/AttachmentNames.h"

#include "mailconverter/mime/HeaderDecoding.h"
#include "support/FileNameRules.h"
#include "support/Utf8.h"

#include <algorithm>
#include <array>

namespace tessaly {
namespace {

/// An extension longer than this is not one ("report.final-version-of-march") and is not kept
/// whole when a long name is cut.
constexpr std::size_t kMaxExtensionBytes = 16;
constexpr std::size_t kMaxHeaderSectionBytes = 256 * 1024;

struct ExtensionEntry
{
    std::string_view mimeType;
    std::string_view extension;
};

constexpr std::array<ExtensionEntry, 24> kExtensions = {{
    {"text/plain", ".txt"},
    {"text/html", ".html"},
    {"text/csv", ".csv"},
    {"text/calendar", ".ics"},
    {"text/vcard", ".vcf"},
    {"text/x-vcard", ".vcf"},
    {"image/png", ".png"},
    {"image/jpeg", ".jpg"},
    {"image/gif", ".gif"},
    {"image/bmp", ".bmp"},
    {"image/tiff", ".tif"},
    {"image/webp", ".webp"},
    {"image/svg+xml", ".svg"},
    {"application/pdf", ".pdf"},
    {"application/zip", ".zip"},
    {"application/gzip", ".gz"},
    {"application/msword", ".doc"},
    {"application/vnd.ms-excel", ".xls"},
    {"application/vnd.openxmlformats-officedocument.wordprocessingml.document", ".docx"},
    {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", ".xlsx"},
    {"application/ms-tnef", ".dat"},
    {"message/rfc822", ".eml"},
    {"audio/mpeg", ".mp3"},
    {"application/octet-stream", ".bin"},
}};

bool isDroppedCharacter(char32_t c)
{
    const bool isControl = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    return isControl || isBidiControl(c);
}

bool isReservedCharacter(char32_t c)
{
    return c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*';
}

/// Cuts `name` to `limit` bytes at a character boundary, keeping a short extension whole.
std::string capLength(const std::string &name, std::size_t limit)
{
    if (name.size() <= limit)
        return name;
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > kMaxExtensionBytes)
        dot = name.size();
    const std::string extension = name.substr(dot);
    std::string stem(firstBytes(name, limit - extension.size()));
    // The cut may leave a space or dot at the end of the stem of a name without extension.
    while (extension.empty() && !stem.empty() && (stem.back() == ' ' || stem.back() == '.'))
        stem.pop_back();
    return stem + extension;
}

std::string cleanedName(std::string_view declaredName)
{
    std::u32string text = decodeUtf8(declaredName);

    const std::size_t lastSeparator = text.find_last_of(U"/\\:");
    if (lastSeparator != std::u32string::npos)
        text.erase(0, lastSeparator + 1);

    std::u32string kept;
    kept.reserve(text.size());
    for (char32_t c : text) {
        if (isDroppedCharacter(c))
            continue;
        kept.push_back(isReservedCharacter(c) ? U'_' : c);
    }

    const std::size_t first = kept.find_first_not_of(U' ');
    if (first == std::u32string::npos)
        return {};
    std::size_t last = kept.size();
    while (last > first && (kept[last - 1] == U' ' || kept[last - 1] == U'.'))
        --last;
    kept = kept.substr(first, last - first);
    if (!kept.empty() && kept.front() == U'.')
        kept.front() = U'_';
    return encodeUtf8(kept);
}

std::string finishedName(std::string name, std::string_view mimeType, int index,
                         std::size_t maxBytes = kMaxAttachmentNameBytes)
{
    if (name.empty())
        name = "attachment-" + std::to_string(index) + extensionForMimeType(mimeType);
    if (isWindowsDeviceName(name))
        name = "_" + name;
    return capLength(name, maxBytes);
}

/// Folds one code point to lower case for the scripts foldCase promises.
char32_t foldCodePoint(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c >= 0x100 && c <= 0x137 && c % 2 == 0)
        return c + 1;
    if (c >= 0x139 && c <= 0x148 && c % 2 == 1)
        return c + 1;
    if (c >= 0x14A && c <= 0x177 && c % 2 == 0)
        return c + 1;
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x179 && c <= 0x17E && c % 2 == 1)
        return c + 1;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 0x20;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    return c;
}

} // namespace

std::string extensionForMimeType(std::string_view mimeType)
{
    const std::string lower = asciiLowercase(mimeType.substr(0, mimeType.find(';')));
    for (const ExtensionEntry &entry : kExtensions) {
        if (entry.mimeType == lower)
            return std::string(entry.extension);
    }
    // Reports and other text that no program claims read best as text.
    if (lower.starts_with("text/") || lower == "message/delivery-status" || lower == "message/feedback-report" ||
        lower == "message/disposition-notification")
        return ".txt";
    return ".bin";
}

std::string mimeTypeForFileName(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return "application/octet-stream";
    const std::string extension = asciiLowercase(fileName.substr(dot));
    if (extension == ".jpeg")
        return "image/jpeg";
    if (extension == ".htm")
        return "text/html";
    for (const ExtensionEntry &entry : kExtensions) {
        if (entry.extension == extension)
            return std::string(entry.mimeType);
    }
    return "application/octet-stream";
}

std::string safeAttachmentName(std::string_view declaredName, std::string_view mimeType, int index)
{
    return finishedName(cleanedName(declaredName), mimeType, index);
}

std::string safeNameToSave(std::string_view name, int index)
{
    // Room for the " (99999)" that UniqueNames may have added.
    constexpr std::size_t kRoomForNumber = 8;
    return finishedName(cleanedName(name), "application/octet-stream", index, kMaxAttachmentNameBytes + kRoomForNumber);
}

std::string forwardedMessageName(std::string_view subject, int index)
{
    // A subject is no path: its separators ("Re: a/b") are kept as "_" rather than cut at.
    std::string text(subject);
    for (char &c : text) {
        if (c == '/' || c == '\\' || c == ':')
            c = '_';
    }
    std::string name = cleanedName(text);
    if (!name.empty())
        name += ".eml";
    return finishedName(std::move(name), "message/rfc822", index);
}

std::string subjectOfRawMessage(std::string_view message)
{
    message = message.substr(0, std::min(message.size(), kMaxHeaderSectionBytes));
    std::size_t lineStart = 0;
    // A leading mbox envelope line is not a header.
    if (message.starts_with("From ")) {
        lineStart = message.find('\n');
        lineStart = lineStart == std::string_view::npos ? message.size() : lineStart + 1;
    }
    std::string value;
    bool inSubject = false;
    while (lineStart < message.size()) {
        std::size_t lineEnd = message.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = message.size();
        std::string_view line = message.substr(lineStart, lineEnd - lineStart);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lineStart = lineEnd + 1;
        if (line.empty())
            break; // end of the header section
        const bool isContinuation = line.front() == ' ' || line.front() == '\t';
        if (inSubject && isContinuation) {
            value.append(line);
            continue;
        }
        if (inSubject)
            break;
        if (line.size() >= 8 && equalsIgnoringAsciiCase(line.substr(0, 8), "subject:")) {
            inSubject = true;
            value.assign(line.substr(8));
        }
    }
    const std::string decoded = decodeHeaderText(value);
    const std::size_t first = decoded.find_first_not_of(" \t");
    const std::size_t last = decoded.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : toValidUtf8(decoded.substr(first, last - first + 1));
}

std::string asciiFallbackName(std::string_view utf8Name)
{
    // Latin-1 letters U+00C0..U+00FF without their accents; "_" where there is no letter.
    static constexpr std::string_view kLatin1Base = "AAAAAAACEEEEIIIIDNOOOOO_OUUUUYTsaaaaaaaceeeeiiiidnooooo_ouuuuyty";
    std::string out;
    for (char32_t c : decodeUtf8(utf8Name)) {
        if (c >= 0x20 && c < 0x7F)
            out.push_back(static_cast<char>(c));
        else if (c == 0xDF)
            out += "ss";
        else if (c >= 0xC0 && c <= 0xFF)
            out.push_back(kLatin1Base[c - 0xC0]);
        else
            out.push_back('_');
    }
    return out;
}

std::string foldCase(std::string_view utf8Name)
{
    std::u32string text = decodeUtf8(utf8Name);
    std::transform(text.begin(), text.end(), text.begin(), foldCodePoint);
    return encodeUtf8(text);
}

void UniqueNames::reserve(std::string_view name)
{
    m_taken.insert(foldCase(name));
}

bool UniqueNames::isTaken(std::string_view name) const
{
    return m_taken.contains(foldCase(name));
}

std::string UniqueNames::claim(const std::string &name)
{
    std::string folded = foldCase(name);
    if (m_taken.insert(folded).second)
        return name;
    // Numbers below the remembered one were all taken when last tried, and taken names
    // are never given back.
    int &next = m_nextNumber.try_emplace(std::move(folded), 2).first->second;
    std::string candidate = numberedVariant(name, next);
    while (isTaken(candidate))
        candidate = numberedVariant(name, ++next);
    ++next;
    reserve(candidate);
    return candidate;
}

} // namespace tessaly
