// PDF names from subject, sender and date.
#include "conversion/PdfNaming.h"
#include "support/PathHelpers.h"
#include "support/Utf8.h"
#include "tests/conversion/FakeMessageReader.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

const MessageDateTime kMarch5{2021, 3, 5, 14, 30, 0};

std::string repeat(const std::string &piece, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

} // namespace

TEST(PdfName, NameRules)
{
    struct Case
    {
        const char *fault;
        NamingOption option;
        std::string subject, from, expected;
    };
    const NamingOption subjectOnly = NamingOption::OptOriginal;
    const Case cases[] = {
        {"forbidden characters vanish", subjectOnly, "Re: Plan? A/B*", "", "Re Plan AB.pdf"},
        {"quotes, brackets, pipe, NUL", subjectOnly, std::string("c\\d\"e<f>g|h\0i", 13), "", "cdefghi.pdf"},
        {"other characters stay", subjectOnly, "a.b, c'd #1 Grüße 日本", "", "a.b, c'd #1 Grüße 日本.pdf"},
        {"each part is trimmed", NamingOption::OptFSD, "  Hello ", " Ann  ", "Ann Hello 05-03-2021.pdf"},
        {"sender first, year-first date", NamingOption::OptFSD_YMD, "Hello", "Ann", "Ann Hello 2021-03-05.pdf"},
        {"date first, then sender", NamingOption::OptDFS, "Hello", "Ann", "05-03-2021 Ann Hello.pdf"},
        {"folded header white space is one blank", subjectOnly, "Quarterly\r\n\t report  for\tMay", "",
         "Quarterly report for May.pdf"},
        {"no subject", subjectOnly, "", "", "(no subject).pdf"},
        {"nothing of the subject survives", subjectOnly, "???", "", "(no subject).pdf"},
        {"no subject with a date pattern", NamingOption::OptSD, " ", "", "(no subject) 05-03-2021.pdf"},
        {"no subject with a sender pattern", NamingOption::OptDFS_MYD, "", "Ann", "03-05-2021 (no subject) Ann.pdf"},
        {"no sender", NamingOption::OptFSD, "Hello", "", "(unknown sender) Hello 05-03-2021.pdf"},
        {"leading dots would hide the file", subjectOnly, ".hidden notes", "", "hidden notes.pdf"},
        {"trailing dots and blanks before .pdf", subjectOnly, "Wait... ", "", "Wait.pdf"},
        {"only dots", subjectOnly, "...", "", "(no subject).pdf"},
        {"bidi controls would disguise the name", subjectOnly, "\u202Efdp.exe\u2066x\u2069", "", "fdp.exex.pdf"},
        {"a left-to-right mark", subjectOnly, "a\u200Eb", "", "ab.pdf"},
        {"a right-to-left mark", subjectOnly, "a\u200Fb", "", "ab.pdf"},
        {"an Arabic letter mark", subjectOnly, "a\u061Cb", "", "ab.pdf"},
        {"a device name", subjectOnly, "CON", "", "_CON.pdf"},
        {"a device name with an extension", subjectOnly, "com1.txt", "", "_com1.txt.pdf"},
        {"a device name only begins", subjectOnly, "CONTRACT", "", "CONTRACT.pdf"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(composePdfName(c.option, c.subject, c.from, kMarch5), c.expected) << c.fault;
}

TEST(PdfName, MissingDateShowsZerosInThePattern)
{
    EXPECT_EQ(composePdfName(NamingOption::OptSD, "Hi", "", std::nullopt), "Hi 00-00-0000.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptDFS_YMD2, "Hi", "Ann", std::nullopt), "0000-00-00 Ann Hi.pdf");
}

TEST(PdfName, CutsAt220CharactersAfterCleaning)
{
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, std::string(220, 'a'), "", kMarch5),
              std::string(220, 'a') + ".pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, std::string(221, 'a'), "", kMarch5),
              std::string(220, 'a') + ".pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, std::string(221, 'a') + "::::", "", kMarch5),
              std::string(220, 'a') + ".pdf");
}

TEST(PdfName, SubjectAndSenderCutTo235OnlyUnderDateYmdSubjectFrom)
{
    // 230 characters of subject: the sender falls beyond 235, then the whole is cut to 220.
    const std::string subject = std::string(230, 's');
    const std::string name = composePdfName(NamingOption::OptDFS_YMD, subject, "SENDER", kMarch5);
    EXPECT_EQ(name, ("2021-03-05 " + subject).substr(0, 220) + ".pdf");

    // With short values nothing is cut: the sender survives whole.
    EXPECT_EQ(composePdfName(NamingOption::OptDFS_YMD, "Hi", "SENDER", kMarch5), "2021-03-05 Hi SENDER.pdf");

    // The 235 cut counts after each value is cleaned: 234 colons are no subject at all.
    const std::string colons(234, ':');
    EXPECT_EQ(composePdfName(NamingOption::OptDFS_YMD, colons, "AB", kMarch5), "2021-03-05 (no subject) AB.pdf");
}

TEST(PdfName, RegressionCjkAndEmojiNamesFitA255ByteFileName)
{
    for (const std::string &character : {std::string("日"), std::string("😀"), std::string("é")}) {
        const std::string name = composePdfName(NamingOption::OptOriginal, repeat(character, 300), "", kMarch5);
        const std::string stem = name.substr(0, name.size() - 4);
        SCOPED_TRACE(character);
        // Room for " (99999)" and " attachments", the longest name derived from the stem.
        EXPECT_LE(stem.size() + 8 + 12, 255u);
        EXPECT_LE(characterCount(stem), kMaxNameCharacters);
        EXPECT_EQ(stem.size() % character.size(), 0u) << "cut inside a character";
        EXPECT_EQ(stem, repeat(character, std::min<std::size_t>(220, kMaxNameBytes / character.size())));
    }
}

TEST(MakePDFPath, NamesThePdfFromTheMessageInsideTheMailboxFolder)
{
    tessaly::testing::FakeMessageReader reader;
    EXPECT_EQ(MakePDFPath(reader, "From a\r\nSubject: Hello\r\nFrom: Ann\r\nDate: 2021-03-05\r\n\r\nbody\r\n",
                          NamingOption::OptDFS_MYD, "/out/box.mbox"),
              joinPath("/out/box.mbox", "03-05-2021 Hello Ann.pdf"));
}
