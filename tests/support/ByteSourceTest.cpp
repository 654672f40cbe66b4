// Bytes copied from a range of an open file reach the writer whole, in order, and in chunks
// no larger than the bound; a range the file does not hold fails instead of coming up short.
#include "support/ByteSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace tessaly;

namespace {

std::shared_ptr<const OpenFile> fileHolding(const std::string &bytes)
{
    OpenFile file = OpenFile::makeUnnamed().value();
    EXPECT_TRUE(file.write(bytes));
    return std::make_shared<const OpenFile>(std::move(file));
}

} // namespace

TEST(ByteSource, AFileRangeIsCopiedWholeInBoundedChunks)
{
    std::string bytes(ByteSource::kChunkBytes * 5 / 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 % 251);
    const std::shared_ptr<const OpenFile> file = fileHolding(bytes);
    for (const auto &[offset, length] : {std::pair<std::size_t, std::size_t>{0, bytes.size()},
                                         {3, bytes.size() - 10},
                                         {ByteSource::kChunkBytes, ByteSource::kChunkBytes},
                                         {5, 0}}) {
        SCOPED_TRACE(std::to_string(offset) + "+" + std::to_string(length));
        std::string copied;
        std::size_t largest = 0;
        ASSERT_TRUE(ByteSource::inFile(file, offset, length).copyTo([&](std::string_view chunk) -> Result<void> {
            largest = std::max(largest, chunk.size());
            copied += chunk;
            return {};
        }));
        EXPECT_TRUE(copied == bytes.substr(offset, length));
        EXPECT_LE(largest, ByteSource::kChunkBytes);
    }
}

TEST(ByteSource, ARangePastTheFilesEndFails)
{
    const ByteSource source = ByteSource::inFile(fileHolding("0123456789"), 8, 5);
    Result<std::string> read = source.read();
    ASSERT_FALSE(read);
    EXPECT_NE(read.error().message.find("it ends before byte 13"), std::string::npos) << read.error().message;
}
