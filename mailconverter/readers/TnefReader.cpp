#include "mailconverter/readers/TnefReader.h"

#include "mailconverter/readers/AttachmentNames.h"
#include "support/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace tessaly {
namespace {

constexpr std::uint32_t kTnefSignature = 0x223E9F78;

constexpr std::uint8_t kLevelAttachment = 0x02;

// Attribute ids as the stream stores them: the attribute type in the high word.
constexpr std::uint32_t kAttAttachRendData = 0x00069002;
constexpr std::uint32_t kAttAttachTitle = 0x00018010;
constexpr std::uint32_t kAttAttachData = 0x0006800F;
constexpr std::uint32_t kAttAttachment = 0x00069005;

// MAPI property types and ids.
constexpr std::uint16_t kPtypString8 = 0x001E;
constexpr std::uint16_t kPtypUnicode = 0x001F;
constexpr std::uint16_t kPtypBinary = 0x0102;
constexpr std::uint16_t kPtypObject = 0x000D;
constexpr std::uint16_t kMultiValueFlag = 0x1000;
constexpr std::uint16_t kPidAttachDataBinary = 0x3701;
constexpr std::uint16_t kPidAttachFilename = 0x3704;
constexpr std::uint16_t kPidAttachLongFilename = 0x3707;
constexpr std::uint16_t kPidAttachMimeTag = 0x370E;
constexpr std::uint16_t kFirstNamedPropertyId = 0x8000;

/// A property list cannot hold more properties than it has groups of four bytes; this caps
/// what a lying count can make us loop over.
constexpr std::size_t kMinPropertyBytes = 4;

struct PendingAttachment
{
    std::string title;
    std::string longFilename;
    std::string shortFilename;
    std::string mimeTag;
    std::optional<std::string> data;
    std::optional<std::string> dataProperty;
};

/// Reads little-endian numbers and byte runs, never past the end.
class Cursor
{
public:
    explicit Cursor(std::string_view bytes) : m_bytes(bytes) {}

    std::size_t offset() const { return m_offset; }
    std::size_t remaining() const { return m_bytes.size() - m_offset; }
    bool atEnd() const { return m_offset == m_bytes.size(); }

    bool read(std::size_t count, std::string_view &out)
    {
        if (count > remaining())
            return false;
        out = m_bytes.substr(m_offset, count);
        m_offset += count;
        return true;
    }

    bool skip(std::size_t count)
    {
        std::string_view ignored;
        return read(count, ignored);
    }

    template <typename T> bool readInt(T &out)
    {
        std::string_view raw;
        if (!read(sizeof(T), raw))
            return false;
        std::uint64_t value = 0;
        for (std::size_t i = sizeof(T); i-- > 0;)
            value = (value << 8) | static_cast<unsigned char>(raw[i]);
        out = static_cast<T>(value);
        return true;
    }

    bool skipPadding(std::size_t length) { return skip((4 - length % 4) % 4); }

private:
    std::string_view m_bytes;
    std::size_t m_offset = 0;
};

Error tnefError(std::size_t offset, const std::string &what)
{
    return Error{"winmail.dat: " + what + " at offset " + std::to_string(offset), FailureKind::MalformedMessage};
}

std::string_view withoutTrailingNuls(std::string_view text)
{
    while (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    return text;
}

/// An 8-bit string of unknown code page: UTF-8 if it is that, else windows-1252 read as
/// Latin-1, which is right for the letters mail names usually hold.
std::string eightBitToUtf8(std::string_view text)
{
    text = withoutTrailingNuls(text);
    const std::string valid = toValidUtf8(text);
    if (valid == text)
        return valid;
    std::string out;
    for (char byte : text)
        appendUtf8(out, static_cast<unsigned char>(byte));
    return out;
}

std::string utf16LeToUtf8(std::string_view bytes)
{
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    while (!units.empty() && units.back() == 0)
        units.pop_back();
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

/// Bytes of one value of a fixed-size property type, or nullopt for a variable-size or
/// unknown type. Values are padded to four bytes in the stream.
std::optional<std::size_t> fixedValueSize(std::uint16_t type)
{
    switch (type) {
    case 0x0000: // unspecified
    case 0x0001: // null
        return 0;
    case 0x0002: // 16-bit integer
    case 0x000B: // boolean
    case 0x0003: // 32-bit integer
    case 0x0004: // 32-bit float
    case 0x000A: // error code
        return 4;
    case 0x0005: // 64-bit float
    case 0x0006: // currency
    case 0x0007: // floating time
    case 0x0014: // 64-bit integer
    case 0x0040: // time
        return 8;
    case 0x0048: // GUID
        return 16;
    default:
        return std::nullopt;
    }
}

bool isVariableSizeType(std::uint16_t type)
{
    return type == kPtypString8 || type == kPtypUnicode || type == kPtypBinary || type == kPtypObject;
}

/// Reads an attachment's MAPI property list ([MS-OXTNEF] 2.1.3.5) and keeps the few
/// properties that name the file or hold its data.
Result<void> readAttachmentProperties(std::string_view list, std::size_t baseOffset, PendingAttachment &attachment)
{
    Cursor cursor(list);
    auto fail = [&](const std::string &what) -> Result<void> { return tnefError(baseOffset + cursor.offset(), what); };

    std::uint32_t count = 0;
    if (!cursor.readInt(count) || count > cursor.remaining() / kMinPropertyBytes)
        return fail("bad property count");
    for (std::uint32_t p = 0; p < count; ++p) {
        std::uint16_t type = 0;
        std::uint16_t id = 0;
        if (!cursor.readInt(type) || !cursor.readInt(id))
            return fail("truncated property");
        if (id >= kFirstNamedPropertyId) {
            std::uint32_t kind = 0;
            if (!cursor.skip(16) || !cursor.readInt(kind))
                return fail("truncated property name");
            if (kind == 0) {
                if (!cursor.skip(4))
                    return fail("truncated property name");
            } else {
                std::uint32_t nameSize = 0;
                if (!cursor.readInt(nameSize) || !cursor.skip(nameSize) || !cursor.skipPadding(nameSize))
                    return fail("truncated property name");
            }
        }

        const bool isMultiValue = (type & kMultiValueFlag) != 0;
        const std::uint16_t baseType = type & ~kMultiValueFlag;
        if (const std::optional<std::size_t> size = fixedValueSize(baseType)) {
            std::uint32_t values = 1;
            if (isMultiValue && (!cursor.readInt(values) || values > cursor.remaining()))
                return fail("bad value count");
            if (*size > 0 && values > cursor.remaining() / *size)
                return fail("truncated property value");
            cursor.skip(values * *size);
            continue;
        }
        if (!isVariableSizeType(baseType))
            return fail("unknown property type " + std::to_string(type));

        std::uint32_t values = 0;
        if (!cursor.readInt(values) || values > cursor.remaining() / 4)
            return fail("bad value count");
        for (std::uint32_t v = 0; v < values; ++v) {
            std::uint32_t size = 0;
            std::string_view value;
            if (!cursor.readInt(size) || !cursor.read(size, value) || !cursor.skipPadding(size))
                return fail("truncated property value");
            if (isMultiValue || v > 0)
                continue;
            const auto asText = [&] { return baseType == kPtypUnicode ? utf16LeToUtf8(value) : eightBitToUtf8(value); };
            if (id == kPidAttachLongFilename && (baseType == kPtypUnicode || baseType == kPtypString8))
                attachment.longFilename = asText();
            else if (id == kPidAttachFilename && (baseType == kPtypUnicode || baseType == kPtypString8))
                attachment.shortFilename = asText();
            else if (id == kPidAttachMimeTag && (baseType == kPtypUnicode || baseType == kPtypString8))
                attachment.mimeTag = asText();
            else if (id == kPidAttachDataBinary && baseType == kPtypBinary)
                attachment.dataProperty = std::string(value);
        }
    }
    return {};
}

void finishAttachment(std::optional<PendingAttachment> &pending, std::vector<ExtractedAttachment> &out)
{
    if (!pending)
        return;
    std::optional<std::string> &data = pending->data ? pending->data : pending->dataProperty;
    if (data) {
        ExtractedAttachment file;
        file.declaredName = !pending->longFilename.empty() ? pending->longFilename
                            : !pending->title.empty()      ? pending->title
                                                           : pending->shortFilename;
        std::string mimeType = pending->mimeTag;
        std::transform(mimeType.begin(), mimeType.end(), mimeType.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
        const bool looksLikeMimeType =
            mimeType.find('/') != std::string::npos && mimeType.find(' ') == std::string::npos;
        file.mimeType = looksLikeMimeType ? mimeType : mimeTypeForFileName(file.declaredName);
        file.bytes = std::move(*data);
        out.push_back(std::move(file));
    }
    pending.reset();
}

} // namespace

bool isTnefMimeType(std::string_view mimeType)
{
    return mimeType == "application/ms-tnef" || mimeType == "application/vnd.ms-tnef";
}

Result<std::vector<ExtractedAttachment>> readTnefAttachments(std::string_view tnef)
{
    Cursor cursor(tnef);
    std::uint32_t signature = 0;
    std::uint16_t key = 0;
    if (!cursor.readInt(signature) || signature != kTnefSignature || !cursor.readInt(key))
        return tnefError(0, "not a TNEF stream");

    std::vector<ExtractedAttachment> files;
    std::optional<PendingAttachment> pending;
    while (!cursor.atEnd()) {
        const std::size_t attributeOffset = cursor.offset();
        std::uint8_t level = 0;
        std::uint32_t id = 0;
        std::uint32_t length = 0;
        std::string_view data;
        std::uint16_t checksum = 0;
        if (!cursor.readInt(level) || !cursor.readInt(id) || !cursor.readInt(length))
            return tnefError(attributeOffset, "truncated attribute");
        const std::size_t dataOffset = cursor.offset();
        if (!cursor.read(length, data) || !cursor.readInt(checksum))
            return tnefError(attributeOffset, "attribute runs past the end");
        std::uint32_t sum = 0;
        for (char byte : data)
            sum += static_cast<unsigned char>(byte);
        if (static_cast<std::uint16_t>(sum) != checksum)
            return tnefError(attributeOffset, "wrong checksum");
        if (level != kLevelAttachment)
            continue;

        if (id == kAttAttachRendData) {
            finishAttachment(pending, files);
            pending.emplace();
            continue;
        }
        if (!pending)
            pending.emplace(); // an attachment attribute before any attAttachRendData
        if (id == kAttAttachTitle) {
            pending->title = eightBitToUtf8(data);
        } else if (id == kAttAttachData) {
            pending->data = std::string(data);
        } else if (id == kAttAttachment) {
            if (Result<void> read = readAttachmentProperties(data, dataOffset, *pending); !read)
                return read.error();
        }
    }
    finishAttachment(pending, files);
    if (files.empty())
        return tnefError(cursor.offset(), "no attached file");
    return files;
}

} // namespace tessaly
