// Helpers shared by the attachment tests: file contents and test messages.
#pragma once

#include "tests/TestSupport/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tessaly::testing {

inline std::string readWholeFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void writeWholeFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

/// Bytes that do not compress, like a JPEG's or a ZIP's.
inline std::string randomBytes(std::size_t size, unsigned seed = 7)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes)
        c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

/// Every regular file in `folder`, by name.
inline std::map<std::string, std::string> filesIn(const std::filesystem::path &folder)
{
    std::map<std::string, std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = readWholeFile(entry.path());
    }
    return files;
}

/// Runs pdfdetach -saveall on `pdfPath` into `folder` and returns each saved file by name;
/// nothing when pdfdetach fails.
inline std::map<std::string, std::string> detachAll(const std::string &pdfPath, const std::string &folder)
{
    std::filesystem::create_directories(folder);
    const std::string command = "pdfdetach -saveall -o '" + folder + "' '" + pdfPath + "' > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return {};
    return filesIn(folder);
}

inline std::string base64(const std::string &bytes)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            value |= static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(kAlphabet[value >> 18]);
        out.push_back(kAlphabet[(value >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? kAlphabet[(value >> 6) & 63] : '=');
        out.push_back(i + 2 < bytes.size() ? kAlphabet[value & 63] : '=');
        if (out.size() % 77 == 76)
            out.push_back('\n');
    }
    return out;
}

/// One part of a test message.
struct TestPart
{
    std::string contentType; ///< with parameters
    std::string disposition; ///< "" for none; attachmentNamed() for a named file
    std::string bytes;
};

/// A Content-Disposition naming the file by an RFC 2231 value, e.g. "%C3%BCber.txt".
inline std::string attachmentNamed(const std::string &encodedName)
{
    return "attachment; filename*=UTF-8''" + encodedName;
}

/// A multipart/mixed message: a body of `bodyType`, then `parts` (base64, message parts as they are).
inline std::string mimeMessage(const std::string &bodyType, const std::string &body, const std::vector<TestPart> &parts)
{
    std::string out = "From: Ann <ann@example.com>\nTo: bob@example.com\nSubject: Hello\n"
                      "Date: Fri, 05 Mar 2021 14:07:00 +0100\nMIME-Version: 1.0\n"
                      "Content-Type: multipart/mixed; boundary=\"b0undary\"\n\n"
                      "--b0undary\nContent-Type: " +
                      bodyType + "; charset=utf-8\n\n" + body + "\n";
    for (const TestPart &part : parts) {
        out += "--b0undary\nContent-Type: " + part.contentType + "\n";
        if (!part.disposition.empty())
            out += "Content-Disposition: " + part.disposition + "\n";
        if (part.contentType.starts_with("message/rfc822"))
            out += "\n" + part.bytes + "\n";
        else
            out += "Content-Transfer-Encoding: base64\n\n" + base64(part.bytes) + "\n";
    }
    return out + "--b0undary--\n";
}

} // namespace tessaly::testing
