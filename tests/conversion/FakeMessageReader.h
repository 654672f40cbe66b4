// A MessageReader for tests: takes "Subject:", "From:" and "Date: YYYY-MM-DD" header lines
// from the message as they stand (no decoding, no folding).
#pragma once

#include "platform/MessageReader.h"

#include <cstdio>
#include <sstream>
#include <string>

namespace tessaly::testing {

class FakeMessageReader : public MessageReader
{
public:
    bool LoadMessage(std::string_view message) override
    {
        m_subject.clear();
        m_from.clear();
        m_date.reset();
        std::istringstream file{std::string(message)};
        std::string line;
        while (std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty())
                break;
            if (line.rfind("Subject: ", 0) == 0)
                m_subject = line.substr(9);
            else if (line.rfind("From: ", 0) == 0)
                m_from = line.substr(6);
            else if (line.rfind("Date: ", 0) == 0) {
                MessageDateTime date;
                if (std::sscanf(line.c_str() + 6, "%d-%d-%d", &date.year, &date.month, &date.day) == 3)
                    m_date = date;
            }
        }
        return true;
    }
    std::string Subject() const override { return m_subject; }
    std::string From() const override { return m_from; }
    std::optional<MessageDateTime> Date() const override { return m_date; }

private:
    std::string m_subject;
    std::string m_from;
    std::optional<MessageDateTime> m_date;
};

inline MessageReaderFactory fakeReaderFactory()
{
    return [] { return std::unique_ptr<MessageReader>(std::make_unique<FakeMessageReader>()); };
}

} // namespace tessaly::testing
