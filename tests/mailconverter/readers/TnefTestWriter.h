// A small TNEF (winmail.dat) writer, to build the streams the attachment tests read.
#pragma once

#include <cstdint>
#include <string>

namespace tessaly::testing {

inline void putLe(std::string &out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline void pad4(std::string &out, std::size_t length)
{
    out.append((4 - length % 4) % 4, '\0');
}

/// Writes TNEF streams the way Outlook lays them out.
class TnefWriter
{
public:
    TnefWriter()
    {
        putLe(m_bytes, 0x223E9F78, 4);
        putLe(m_bytes, 0x1234, 2);
        attribute(1, 0x00089006, std::string("\x00\x00\x01\x00", 4)); // attTnefVersion
    }

    void attribute(std::uint8_t level, std::uint32_t id, const std::string &data)
    {
        m_bytes.push_back(static_cast<char>(level));
        putLe(m_bytes, id, 4);
        putLe(m_bytes, data.size(), 4);
        m_bytes += data;
        std::uint32_t sum = 0;
        for (char c : data)
            sum += static_cast<unsigned char>(c);
        putLe(m_bytes, sum & 0xFFFF, 2);
    }

    /// One attachment: rendering data, title, data and, when given, a MAPI property list
    /// with PR_ATTACH_LONG_FILENAME in UTF-16.
    void addFile(const std::string &title, const std::string &data, const std::u16string &longName = {})
    {
        attribute(2, 0x00069002, std::string(14, '\0'));
        attribute(2, 0x00018010, title + '\0');
        attribute(2, 0x0006800F, data);
        if (longName.empty())
            return;
        std::string props;
        putLe(props, 3, 4);
        putLe(props, 0x0003, 2); // PR_ATTACH_METHOD, a fixed-size value
        putLe(props, 0x3705, 2);
        putLe(props, 1, 4);
        putLe(props, 0x0102, 2); // a named binary property, to be skipped
        putLe(props, 0x8001, 2);
        props.append(16, 'g');
        putLe(props, 1, 4); // named by string
        putLe(props, 6, 4);
        props.append("n\0m\0\0\0", 6);
        pad4(props, 6);
        putLe(props, 1, 4);
        putLe(props, 3, 4);
        props.append("abc");
        pad4(props, 3);
        putLe(props, 0x001F, 2);
        putLe(props, 0x3707, 2);
        putLe(props, 1, 4);
        std::string utf16;
        for (char16_t unit : longName + u'\0')
            putLe(utf16, unit, 2);
        putLe(props, utf16.size(), 4);
        props += utf16;
        pad4(props, utf16.size());
        attribute(2, 0x00069005, props);
    }

    const std::string &bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

} // namespace tessaly::testing
