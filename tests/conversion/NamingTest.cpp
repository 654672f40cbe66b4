// PDF names from subject, sender and date.
#include "FakeMessageReader.h"
#include "PathHelpers.h"
#include "PdfNaming.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

const MessageDateTime kMarch5{2021, 3, 5, 14, 30, 0};

std::size_t countCharacters(const std::string &utf8)
{
    std::size_t count = 0;
    for (char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

std::string repeat(const std::string &piece, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

/// A reader that remembers which values were asked for.
class CountingReader : public MessageReader
{
public:
    mutable int subjectReads = 0, fromReads = 0, dateReads = 0;
    std::vector<std::string> loaded;
    bool LoadMessage(const std::string &file) override
    {
        loaded.push_back("load " + file);
        return true;
    }
    bool OpenMessage(const std::string &file) override
    {
        loaded.push_back("open " + file);
        return true;
    }
    std::string Subject() const override { return ++subjectReads, "Hello"; }
    std::string From() const override { return ++fromReads, "Ann"; }
    std::optional<MessageDateTime> Date() const override { return ++dateReads, kMarch5; }
};

} // namespace

TEST(PdfName, EachOptionComposesItsValuesInOrder)
{
    const std::string s = "Hello", f = "Ann";
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, s, f, kMarch5), "Hello.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptSD, s, f, kMarch5), "Hello 05-03-2021.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptFSD, s, f, kMarch5), "Ann Hello 05-03-2021.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptFSD_YMD, s, f, kMarch5), "Ann Hello 2021-03-05.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptDFS, s, f, kMarch5), "05-03-2021 Ann Hello.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptDFS_YMD, s, f, kMarch5), "2021-03-05 Hello Ann.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptDFS_YMD2, s, f, kMarch5), "2021-03-05 Ann Hello.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptDFS_MYD, s, f, kMarch5), "03-05-2021 Hello Ann.pdf");
}

TEST(PdfName, ForbiddenCharactersVanishAndBlanksStay)
{
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, "Re: Plan? A/B*", "", kMarch5), "Re Plan AB.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, "a\tb\r\nc\\d\"e<f>g|h", "", kMarch5),
              "abcdefgh.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, std::string("nul\0here", 8), "", kMarch5),
              "nulhere.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, " two  blanks ", "", kMarch5), " two  blanks .pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, "a.b, c'd #1 Grüße 日本", "", kMarch5),
              "a.b, c'd #1 Grüße 日本.pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptFSD, "Hello", "", kMarch5), " Hello 05-03-2021.pdf");
}

TEST(PdfName, RegressionEmptyNameIsNoSubjectNotAHiddenFile)
{
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, "", "", kMarch5), "(no subject).pdf");
    EXPECT_EQ(composePdfName(NamingOption::OptOriginal, "???", "", kMarch5), "(no subject).pdf");
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

    // The 235 cut counts before cleaning: forbidden characters in the kept part still vanish.
    const std::string colons(234, ':');
    EXPECT_EQ(composePdfName(NamingOption::OptDFS_YMD, colons, "AB", kMarch5), "2021-03-05  .pdf");
}

TEST(PdfName, RegressionCjkAndEmojiNamesFitA255ByteFileName)
{
    for (const std::string &character : {std::string("日"), std::string("😀"), std::string("é")}) {
        const std::string name =
            composePdfName(NamingOption::OptOriginal, repeat(character, 300), "", kMarch5);
        const std::string stem = name.substr(0, name.size() - 4);
        SCOPED_TRACE(character);
        EXPECT_LE(stem.size() + 8 + 4, 255u);
        EXPECT_LE(countCharacters(stem), kMaxNameCharacters);
        EXPECT_EQ(stem.size() % character.size(), 0u) << "cut inside a character";
        EXPECT_EQ(stem, repeat(character, std::min<std::size_t>(220, kMaxNameBytes / character.size())));
    }
}

TEST(MakePDFPath, LoadsThenOpensTheTrimmedFileAndAsksOnlyForWhatTheOptionUses)
{
    CountingReader reader;
    const std::string path =
        MakePDFPath(reader, "  /out/email-1.eml ", NamingOption::OptOriginal, "/out/box.mbox");
    EXPECT_EQ(path, joinPath("/out/box.mbox", "Hello.pdf"));
    EXPECT_EQ(reader.loaded, (std::vector<std::string>{"load /out/email-1.eml", "open /out/email-1.eml"}));
    EXPECT_EQ(reader.fromReads, 0);
    EXPECT_EQ(reader.dateReads, 0);

    CountingReader second;
    EXPECT_EQ(MakePDFPath(second, "m.eml", NamingOption::OptDFS_MYD, "/out"),
              joinPath("/out", "03-05-2021 Hello Ann.pdf"));
    EXPECT_EQ(second.fromReads, 1);
    EXPECT_EQ(second.dateReads, 1);
}
