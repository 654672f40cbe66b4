// The .eml converter: exact copies beside where the PDF would go, never overwriting.
#include "conversion/EmlCopyConverter.h"

#include "tests/conversion/RecordingConverter.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::testing;

TEST(EmlCopyConverter, CopiesEveryByteButTheEnvelopeLineAndNumbersTakenNames)
{
    TempFolder temp;
    std::string allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes.push_back(static_cast<char>(i));
    const std::string source = temp.write("email-1.eml", "From a\r\n" + allBytes + "\r\n");
    EmlCopyConverter converter;

    const auto first = converter.Convert(source, temp.file("Hello.pdf"), "-c pdf");
    ASSERT_TRUE(first.ok()) << first.error().message;
    EXPECT_EQ(first.value().writtenPath, temp.file("Hello.eml"));
    EXPECT_EQ(RecordingConverter::readAll(temp.file("Hello.eml")), allBytes + "\r\n");

    const auto second = converter.Convert(source, temp.file("Hello.pdf"), "-c PDF -attach");
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second.value().writtenPath, temp.file("Hello (2).eml"));
    EXPECT_EQ(TempFolder::fileNames(temp.path()),
              (std::vector<std::string>{"Hello (2).eml", "Hello.eml", "email-1.eml"}));
}

TEST(EmlCopyConverter, AMessageWithoutEnvelopeLineIsCopiedWhole)
{
    TempFolder temp;
    const std::string source = temp.write("email-1.eml", "Subject: From here\r\n\r\nFrom the body\r\n");
    EmlCopyConverter converter;
    ASSERT_TRUE(converter.Convert(source, temp.file("a.pdf"), "-c pdf").ok());
    EXPECT_EQ(RecordingConverter::readAll(temp.file("a.eml")), RecordingConverter::readAll(source));
}

TEST(EmlCopyConverter, MissingSourceFailsAndLeavesNothing)
{
    TempFolder temp;
    EmlCopyConverter converter;
    EXPECT_FALSE(converter.Convert(temp.file("gone.eml"), temp.file("x.pdf"), "-c pdf").ok());
    EXPECT_TRUE(TempFolder::fileNames(temp.path()).empty());
}

TEST(EmlCopyConverter, ReplacesOnlyAFinalPdfExtension)
{
    EXPECT_EQ(emlDestination("/o/a.pdf"), "/o/a.eml");
    EXPECT_EQ(emlDestination("/o/a.pdf.txt"), "/o/a.pdf.txt.eml");
}
