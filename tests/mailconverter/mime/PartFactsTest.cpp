// What a part says of itself: here, the file names it declares.
#include "mailconverter/mime/MailMessage.h"

#include "tests/mailconverter/mime/MimeTestHelpers.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

TEST(PartFacts, AttachmentNames)
{
    const MailMessage message = parse(
        multipart("mixed", {"Content-Type: text/plain\n\nbody",
                            "Content-Type: application/octet-stream\n"
                            "Content-Disposition: attachment; filename*=UTF-8''%C3%BCbersicht%20%E2%82%AC.txt\n\nx",
                            "Content-Type: application/octet-stream\n"
                            "Content-Disposition: attachment; filename=\"=?utf-8?B?5pel5pys?=.txt\"\n\nx",
                            "Content-Type: application/octet-stream\n"
                            "Content-Disposition: attachment; filename=\"C:\\Windows\\evil.exe\"\n\nx",
                            "Content-Type: application/octet-stream; name=\"=?utf-8?B?SsO2cmc?=.txt\"\n\nx"}));
    // Backslashes survive (the safe-name step needs them to find the base name), and
    // unpadded base64 is read whole.
    EXPECT_EQ(attachmentNames(message),
              (std::vector<std::string>{"übersicht €.txt", "日本.txt", "C:\\Windows\\evil.exe", "Jörg.txt"}));
}
