#include "mailconverter/mime/FlowedText.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(FlowedText, SoftBreaksJoinAndHardBreaksStay)
{
    EXPECT_EQ(reflowFlowedText("This is a \nlong line.\nNext\n", false), "This is a long line.\nNext\n");
    EXPECT_EQ(reflowFlowedText("Wort \ntrennung\n", true), "Worttrennung\n");
}

TEST(FlowedText, QuoteDepthAndStuffing)
{
    const std::string text = "> quoted \n> text\n>> deeper \nno join\n From stuffed\n";
    EXPECT_EQ(reflowFlowedText(text, false), "> quoted text\n>> deeper \nno join\nFrom stuffed\n");
}

TEST(FlowedText, SignatureSeparatorIsNeverJoined)
{
    EXPECT_EQ(reflowFlowedText("Bye\n-- \nAnn\n", false), "Bye\n-- \nAnn\n");
}
