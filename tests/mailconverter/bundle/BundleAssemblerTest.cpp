// What a reader finds in a bundle part: the contents lines and their links, the outline, the
// page labels, the stamps in the bottom margin, the embedded files with their bytes.
#include "mailconverter/bundle/QpdfBundleAssembler.h"

#include "tests/mailconverter/bundle/BundleTestFiles.h"
#include "tests/TestSupport/TempFolder.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace tessaly;
using namespace tessaly::test;

namespace {

constexpr int kMessages = 30;
constexpr int kFailed = 7;

std::string reportBytes(int number)
{
    std::string bytes = "report of message " + std::to_string(number) + "\n";
    for (int c = 0; c < 256; ++c)
        bytes.push_back(char(c));
    return bytes;
}

MessagePdfShape specOf(int number)
{
    MessagePdfShape shape;
    shape.lines = number == 10 ? 140 : number % 4 == 0 ? 70 : 3 + number % 5;
    shape.letter = number % 5 == 0;
    if (number % 3 == 0)
        shape.files = {{"report.pdf", reportBytes(number)}};
    if (number % 6 == 0)
        shape.source = "Subject: Subject " + std::to_string(number) + "\r\n\r\nbody\r\n";
    shape.linksToEnd = number == 4;
    shape.cropBottom = number == 11 ? 100 : 0;
    return shape;
}

BundleMessage messageOf(const FolderHandle &folder, int number)
{
    BundleMessage message;
    message.number = number;
    message.date = "2024-03-" + std::string(number < 10 ? "0" : "") + std::to_string(number) + " 10:00:00";
    message.from = "Sender " + std::to_string(number) + " <s" + std::to_string(number) + "@example.org>";
    message.subject = "Subject " + std::to_string(number);
    message.attachments = int(specOf(number).files.size());
    if (number == kFailed)
        message.failure = "failed: memory-limit: the converter needed more than 1.5 GB for this message, whose "
                          "attachments hold many large images; convert it alone with a higher limit";
    else
        message.pdf = FileInFolder{folder, std::to_string(number) + ".pdf"};
    return message;
}

int pageCountOf(const std::string &pdf)
{
    const QString info = QString::fromUtf8(toolOutput(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf)}));
    for (const QString &line : info.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("Pages:")))
            return line.mid(6).trimmed().toInt();
    }
    return 0;
}

/// One part of 30 messages, number 7 failed, bundled once for all the tests that read it.
class BundleOfThirty : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = new tessaly::testing::TempFolder;
        const FolderHandle folder = FolderHandle::open(s_folder->path()).value();
        s_part.title = "Correspondence";
        s_part.pageNumbers = true;
        s_part.bates = BatesNumbering{"ABC-", 1, 6};
        for (int number = 1; number <= kMessages; ++number) {
            if (number != kFailed)
                writeMessagePdf(s_folder->file(std::to_string(number) + ".pdf"), number, specOf(number));
            s_part.messages.push_back(messageOf(folder, number));
        }
        Result<AssembledPart> assembled = QpdfBundleAssembler().assemble(s_part, {folder, "bundle.pdf"});
        ASSERT_TRUE(assembled) << assembled.error().message;
        s_assembled = assembled.value();
        s_bundle = s_folder->file("bundle.pdf");
        s_contentsPages = s_assembled.pageCount - s_assembled.messages.back().lastPage;
        const QByteArray json = toolOutput(
            QStringLiteral("qpdf"), {QStringLiteral("--json"), QStringLiteral("--json-key=pages"),
                                     QStringLiteral("--json-key=outlines"), QStringLiteral("--json-key=pagelabels"),
                                     QStringLiteral("--json-key=qpdf"), QString::fromStdString(s_bundle)});
        s_json = QJsonDocument::fromJson(json).object();
    }
    static void TearDownTestSuite()
    {
        // For looking at, as PdfProbe's keepRendering does for single pages.
        if (const char *keep = std::getenv("TESSALY_KEEP_RENDERINGS"))
            std::filesystem::copy_file(s_bundle, std::filesystem::path(keep) / "bundle.pdf",
                                       std::filesystem::copy_options::overwrite_existing);
        delete s_folder;
        s_folder = nullptr;
    }

    /// The value of object "N 0 R" from qpdf's JSON.
    static QJsonValue object(const QString &reference)
    {
        return s_json[QStringLiteral("qpdf")]
            .toArray()[1]
            .toObject()[QStringLiteral("obj:") + reference]
            .toObject()[QStringLiteral("value")];
    }
    /// `value` itself, or the object it refers to when it is a reference.
    static QJsonValue resolved(const QJsonValue &value)
    {
        return value.isString() && value.toString().endsWith(QStringLiteral(" R")) ? object(value.toString()) : value;
    }
    /// The page (from 1) whose object is `reference`; 0 for none.
    static int pageOf(const QString &reference)
    {
        for (const QJsonValue page : s_json[QStringLiteral("pages")].toArray()) {
            if (page[QStringLiteral("object")].toString() == reference)
                return page[QStringLiteral("pageposfrom1")].toInt();
        }
        return 0;
    }
    /// The number of the message on page `page` (from 1) of the bundle, past the contents.
    static int messageOnPage(int page)
    {
        for (int number = 1; number <= kMessages; ++number) {
            const AssembledMessage &placed = s_assembled.messages[std::size_t(number - 1)];
            if (placed.firstPage > 0 && page - s_contentsPages <= placed.lastPage)
                return number;
        }
        return 0;
    }
    /// The page (from 1) of message `number`'s first page in the bundle.
    static int firstPageOf(int number)
    {
        return s_contentsPages + s_assembled.messages[std::size_t(number - 1)].firstPage;
    }

    static inline tessaly::testing::TempFolder *s_folder = nullptr;
    static inline BundlePart s_part;
    static inline AssembledPart s_assembled;
    static inline std::string s_bundle;
    static inline int s_contentsPages = 0;
    static inline QJsonObject s_json;
};

TEST_F(BundleOfThirty, PlacesEveryMessageAndCountsOnInBatesNumbers)
{
    int page = 1;
    for (int number = 1; number <= kMessages; ++number) {
        const AssembledMessage &placed = s_assembled.messages[std::size_t(number - 1)];
        if (number == kFailed) {
            EXPECT_EQ(placed.firstPage, 0);
            EXPECT_TRUE(placed.firstBates.empty());
            continue;
        }
        const int pages = pageCountOf(s_folder->file(std::to_string(number) + ".pdf"));
        EXPECT_EQ(placed.firstPage, page) << number;
        EXPECT_EQ(placed.lastPage, page + pages - 1) << number;
        char bates[16];
        std::snprintf(bates, sizeof bates, "ABC-%06d", page);
        EXPECT_EQ(placed.firstBates, bates) << number;
        page += pages;
    }
    EXPECT_EQ(s_assembled.nextBates, std::uint64_t(page));
    EXPECT_FALSE(s_assembled.batesOverflowed);
    EXPECT_GE(s_contentsPages, 1);
    EXPECT_EQ(pageCountOf(s_bundle), s_assembled.pageCount);
    int exitCode = -1;
    toolOutput(QStringLiteral("qpdf"), {QStringLiteral("--check"), QString::fromStdString(s_bundle)}, &exitCode);
    EXPECT_EQ(exitCode, 0);
}

TEST_F(BundleOfThirty, ContentsListEveryMessageWithItsFirstBatesNumberOrItsFailure)
{
    const QString contents = QString::fromUtf8(toolOutput(
        QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-l"), QString::number(s_contentsPages),
                                      QString::fromStdString(s_bundle), QStringLiteral("-")}));
    EXPECT_TRUE(contents.contains(QStringLiteral("Correspondence")));
    for (int number = 1; number <= kMessages; ++number) {
        const BundleMessage &message = s_part.messages[std::size_t(number - 1)];
        const QString line = [&] {
            for (const QString &candidate : contents.split(QLatin1Char('\n'))) {
                if (candidate.contains(QString::fromStdString(message.subject) + QLatin1Char(' ')) ||
                    candidate.endsWith(QString::fromStdString(message.subject)))
                    return candidate;
            }
            return QString();
        }();
        ASSERT_FALSE(line.isEmpty()) << number << " in " << contents.toStdString();
        EXPECT_TRUE(line.trimmed().startsWith(QString::number(number))) << line.toStdString();
        EXPECT_TRUE(line.contains(QString::fromStdString(message.date))) << line.toStdString();
        if (number == kFailed) {
            // The whole subject stays on its line; the failure text goes below it.
            EXPECT_TRUE(line.trimmed().endsWith(QString::fromStdString(message.subject))) << line.toStdString();
            const QString below = contents.section(line, 1).trimmed();
            EXPECT_TRUE(below.startsWith(QStringLiteral("not converted: failed: memory-limit: the converter")))
                << below.toStdString();
            continue;
        }
        const AssembledMessage &placed = s_assembled.messages[std::size_t(number - 1)];
        EXPECT_TRUE(line.contains(QString::fromStdString(placed.firstBates))) << line.toStdString();
        EXPECT_TRUE(line.contains(QString::number(message.attachments) + QStringLiteral(" attachment")))
            << line.toStdString();
    }
}

TEST_F(BundleOfThirty, EachContentsLineLinksToItsMessagesFirstPage)
{
    std::multiset<int> targets;
    for (const QJsonValue page : s_json[QStringLiteral("pages")].toArray()) {
        if (page[QStringLiteral("pageposfrom1")].toInt() > s_contentsPages)
            continue;
        for (const QJsonValue annotation :
             object(page[QStringLiteral("object")].toString())[QStringLiteral("/Annots")].toArray()) {
            const QJsonValue link = object(annotation.toString());
            EXPECT_EQ(link[QStringLiteral("/Subtype")].toString(), QStringLiteral("/Link"));
            targets.insert(pageOf(link[QStringLiteral("/Dest")].toArray()[0].toString()));
        }
    }
    std::multiset<int> expected;
    for (int number = 1; number <= kMessages; ++number) {
        if (number != kFailed)
            expected.insert(firstPageOf(number));
    }
    EXPECT_EQ(targets, expected);
}

TEST_F(BundleOfThirty, NamedLinksInsideAMessageStillReachTheirPage)
{
    // Message 4 has two pages; its links on page 1 name page 2 through its own catalog.
    QString firstPage;
    for (const QJsonValue page : s_json[QStringLiteral("pages")].toArray()) {
        if (page[QStringLiteral("pageposfrom1")].toInt() == firstPageOf(4))
            firstPage = page[QStringLiteral("object")].toString();
    }
    const QJsonArray annotations = resolved(object(firstPage)[QStringLiteral("/Annots")]).toArray();
    ASSERT_EQ(annotations.size(), 2);
    const QJsonValue byName = resolved(annotations[0])[QStringLiteral("/Dest")];
    const QJsonValue byAction = resolved(annotations[1])[QStringLiteral("/A")][QStringLiteral("/D")];
    ASSERT_TRUE(byName.isArray() && byAction.isArray());
    EXPECT_EQ(pageOf(byName.toArray()[0].toString()), firstPageOf(4) + 1)
        << byName.toVariant().toString().toStdString();
    EXPECT_EQ(pageOf(byAction.toArray()[0].toString()), firstPageOf(4) + 1);
}

TEST_F(BundleOfThirty, OutlineHasOneBookmarkPerMessageAndOpensShown)
{
    const QJsonArray outlines = s_json[QStringLiteral("outlines")].toArray();
    ASSERT_EQ(outlines.size(), kMessages - 1);
    int index = 0;
    for (int number = 1; number <= kMessages; ++number) {
        if (number == kFailed)
            continue;
        const BundleMessage &message = s_part.messages[std::size_t(number - 1)];
        const QJsonValue outline = outlines[index++];
        EXPECT_EQ(outline[QStringLiteral("title")].toString().toStdString(),
                  message.date + " \u2013 " + message.from + " \u2013 " + message.subject);
        EXPECT_EQ(outline[QStringLiteral("destpageposfrom1")].toInt(), firstPageOf(number));
    }
    const QString root = s_json[QStringLiteral("qpdf")]
                             .toArray()[1]
                             .toObject()[QStringLiteral("trailer")]
                             .toObject()[QStringLiteral("value")][QStringLiteral("/Root")]
                             .toString();
    EXPECT_EQ(object(root)[QStringLiteral("/PageMode")].toString(), QStringLiteral("/UseOutlines"));
}

TEST_F(BundleOfThirty, PageLabelsNumberContentsInRomanAndMessagesFromOne)
{
    const QJsonArray labels = s_json[QStringLiteral("pagelabels")].toArray();
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[0][QStringLiteral("index")].toInt(), 0);
    EXPECT_EQ(labels[0][QStringLiteral("label")][QStringLiteral("/S")].toString(), QStringLiteral("/r"));
    EXPECT_EQ(labels[1][QStringLiteral("index")].toInt(), s_contentsPages);
    EXPECT_EQ(labels[1][QStringLiteral("label")][QStringLiteral("/S")].toString(), QStringLiteral("/D"));
    EXPECT_EQ(labels[1][QStringLiteral("label")][QStringLiteral("/St")].toInt(1), 1);
}

TEST_F(BundleOfThirty, StampsSitInTheBottomMarginBelowTheBodyOfEveryPage)
{
    const std::vector<PlacedWord> words = placedWords(s_bundle);
    const int messagePages = s_assembled.pageCount - s_contentsPages;
    for (int page = 1; page <= s_assembled.pageCount; ++page) {
        const bool isContents = page <= s_contentsPages;
        char bates[16];
        std::snprintf(bates, sizeof bates, "ABC-%06d", page - s_contentsPages);
        const QString pageNumber = isContents ? QString() : QString::number(page - s_contentsPages);
        double bodyBottom = 0;
        double batesTop = -1;
        double stampTop = -1;
        double stampBottom = 0;
        // The foot of what a viewer shows: message 11's pages are cropped.
        double visibleBottom = 0;
        QStringList stampWords;
        for (const PlacedWord &word : words) {
            if (word.page != page)
                continue;
            visibleBottom = word.pageHeight - (isContents ? 0 : specOf(messageOnPage(page)).cropBottom);
            if (word.text == QLatin1String(bates)) {
                batesTop = word.yMin;
                stampBottom = std::max(stampBottom, word.yMax);
            } else if (word.yMin > visibleBottom - 42.52) {
                stampWords << word.text;
                stampTop = stampTop < 0 ? word.yMin : std::min(stampTop, word.yMin);
                stampBottom = std::max(stampBottom, word.yMax);
            } else {
                bodyBottom = std::max(bodyBottom, word.yMax);
            }
        }
        EXPECT_LE(stampBottom, visibleBottom) << "page " << page;
        EXPECT_EQ(batesTop >= 0, !isContents) << "page " << page;
        if (!isContents) {
            EXPECT_GT(batesTop, bodyBottom) << "page " << page;
            EXPECT_GT(batesTop, visibleBottom - 42.52) << "page " << page;
            EXPECT_EQ(stampWords.join(QLatin1Char(' ')),
                      QStringLiteral("page %1 of %2").arg(pageNumber).arg(messagePages))
                << "page " << page;
        } else {
            EXPECT_TRUE(stampWords.join(QLatin1Char(' ')).startsWith(QStringLiteral("page i"))) << "page " << page;
        }
        EXPECT_GT(stampTop, bodyBottom) << "page " << page;
    }
}

TEST_F(BundleOfThirty, EmbeddedFilesKeepTheirBytesUnderNamesPrefixedByTheMessageNumber)
{
    std::map<std::string, std::string> expected;
    for (int number = 1; number <= kMessages; ++number) {
        const MessagePdfShape shape = specOf(number);
        for (const auto &[name, bytes] : shape.files)
            expected[std::to_string(number) + " - " + name] = bytes;
        if (!shape.source.empty())
            expected[std::to_string(number) + " - " + std::to_string(number) + ".eml"] = shape.source;
    }
    const QString listing = QString::fromUtf8(
        toolOutput(QStringLiteral("pdfdetach"), {QStringLiteral("-list"), QString::fromStdString(s_bundle)}));
    const QStringList lines = listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), qsizetype(expected.size()) + 1) << listing.toStdString();
    for (int index = 1; index < lines.size(); ++index) {
        const std::string name = lines[index].section(QStringLiteral(": "), 1).toStdString();
        ASSERT_TRUE(expected.count(name)) << name;
        const std::string saved = s_folder->file("saved-" + std::to_string(index));
        toolOutput(QStringLiteral("pdfdetach"), {QStringLiteral("-save"), QString::number(index), QStringLiteral("-o"),
                                                 QString::fromStdString(saved), QString::fromStdString(s_bundle)});
        std::ifstream in(saved, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(bytes.str(), expected[name]) << name;
    }
    // The message sources stay the bundle's associated files, as sources.
    const QString root = s_json[QStringLiteral("qpdf")]
                             .toArray()[1]
                             .toObject()[QStringLiteral("trailer")]
                             .toObject()[QStringLiteral("value")][QStringLiteral("/Root")]
                             .toString();
    int sources = 0;
    for (const QJsonValue shape : object(root)[QStringLiteral("/AF")].toArray()) {
        EXPECT_EQ(object(shape.toString())[QStringLiteral("/AFRelationship")].toString(), QStringLiteral("/Source"));
        ++sources;
    }
    EXPECT_EQ(sources, kMessages / 6);
}

TEST(BundleAssembler, BatesNumbersKeepTheirWidthAndGrowWhenTheyRunOut)
{
    struct Row
    {
        std::uint64_t first;
        int digits;
        std::string firstBates, lastBates;
        bool overflowed;
    };
    const Row rows[] = {
        {998, 6, "X000998", "X001000", false},
        {98, 2, "X98", "X100", true},
    };
    for (const Row &row : rows) {
        tessaly::testing::TempFolder temp;
        const FolderHandle folder = FolderHandle::open(temp.path()).value();
        writeMessagePdf(temp.file("1.pdf"), 1, MessagePdfShape{130, false, {}, {}});
        BundlePart part;
        part.title = "Bates";
        part.bates = BatesNumbering{"X", row.first, row.digits};
        part.messages.push_back(messageOf(folder, 1));
        const Result<AssembledPart> assembled = QpdfBundleAssembler().assemble(part, {folder, "b.pdf"});
        ASSERT_TRUE(assembled) << assembled.error().message;
        EXPECT_EQ(assembled.value().messages[0].firstBates, row.firstBates);
        EXPECT_EQ(assembled.value().messages[0].lastBates, row.lastBates);
        EXPECT_EQ(assembled.value().batesOverflowed, row.overflowed);
        EXPECT_EQ(assembled.value().nextBates, row.first + 3);
        const QString text = QString::fromUtf8(
            toolOutput(QStringLiteral("pdftotext"), {QString::fromStdString(temp.file("b.pdf")), QStringLiteral("-")}));
        EXPECT_TRUE(text.contains(QString::fromStdString(row.lastBates))) << text.toStdString();
    }
}

TEST(BundleAssembler, ALaterPartSaysWhichItIsAndContinuesTheNumbers)
{
    tessaly::testing::TempFolder temp;
    const FolderHandle folder = FolderHandle::open(temp.path()).value();
    writeMessagePdf(temp.file("31.pdf"), 31, MessagePdfShape{});
    BundlePart part;
    part.title = "Mailbox";
    part.partNumber = 2;
    part.partCount = 3;
    part.bates = BatesNumbering{"P-", 41, 6};
    part.messages.push_back(messageOf(folder, 31));
    const Result<AssembledPart> assembled = QpdfBundleAssembler().assemble(part, {folder, "part 2.pdf"});
    ASSERT_TRUE(assembled) << assembled.error().message;
    EXPECT_EQ(assembled.value().messages[0].firstPage, 1);
    EXPECT_EQ(assembled.value().messages[0].firstBates, "P-000041");
    const QString path = QString::fromStdString(temp.file("part 2.pdf"));
    const QString contents =
        QString::fromUtf8(toolOutput(QStringLiteral("pdftotext"),
                                     {QStringLiteral("-l"), QStringLiteral("1"), path, QStringLiteral("-")}))
            .simplified();
    EXPECT_TRUE(contents.contains(QStringLiteral("part 2 of 3"))) << contents.toStdString();
    EXPECT_TRUE(contents.contains(QStringLiteral("31 \u00b7 2024-03-31"))) << contents.toStdString();
    EXPECT_TRUE(contents.contains(QStringLiteral("P-000041"))) << contents.toStdString();
    EXPECT_TRUE(toolOutput(QStringLiteral("pdfinfo"), {path}).contains("Mailbox (part 2 of 3)"));
}

TEST(BundleAssembler, AManyMessagePartNeedsFewDescriptors)
{
    tessaly::testing::TempFolder temp;
    const FolderHandle folder = FolderHandle::open(temp.path()).value();
    BundlePart part;
    part.title = "Many";
    part.bates = BatesNumbering{"M", 1, 6};
    constexpr int kMany = 120;
    for (int number = 1; number <= kMany; ++number) {
        if (number != kFailed)
            writeMessagePdf(temp.file(std::to_string(number) + ".pdf"), number, MessagePdfShape{});
        part.messages.push_back(messageOf(folder, number));
    }
    // Fewer descriptors than messages: one held per message PDF would run out.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    const Result<AssembledPart> assembled = QpdfBundleAssembler().assemble(part, {folder, "many.pdf"});
    setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(assembled) << assembled.error().message;
    EXPECT_EQ(pageCountOf(temp.file("many.pdf")), assembled.value().pageCount);
    const QString text = QString::fromUtf8(
        toolOutput(QStringLiteral("pdftotext"), {QString::fromStdString(temp.file("many.pdf")), QStringLiteral("-")}));
    EXPECT_TRUE(text.contains(QStringLiteral("Body %1 line 3").arg(kMany)));
}

TEST(BundleAssembler, AWriteThatFailsLeavesTheEarlierBundleAndNothingElse)
{
    tessaly::testing::TempFolder temp;
    const FolderHandle folder = FolderHandle::open(temp.path()).value();
    writeMessagePdf(temp.file("1.pdf"), 1, MessagePdfShape{200, false, {}, {}});
    temp.write("b.pdf", "the earlier bundle");
    BundlePart part;
    part.title = "Full disk";
    part.messages = {messageOf(folder, 1)};
    // Files may not grow past 4 KiB, as on a full disk; the write fails, not the process.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const Result<AssembledPart> assembled = QpdfBundleAssembler().assemble(part, {folder, "b.pdf"});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_FALSE(assembled);
    EXPECT_NE(assembled.error().message.find("File too large"), std::string::npos) << assembled.error().message;
    EXPECT_EQ(folder.names().value().size(), 2u);
    EXPECT_EQ(folder.read("b.pdf").value(), "the earlier bundle");
}

TEST(BundleAssembler, AnUnreadableMessagePdfFailsThePartAndLeavesTheEarlierBundle)
{
    tessaly::testing::TempFolder temp;
    const FolderHandle folder = FolderHandle::open(temp.path()).value();
    writeMessagePdf(temp.file("1.pdf"), 1, MessagePdfShape{});
    temp.write("2.pdf", "not a PDF at all");
    temp.write("b.pdf", "the earlier bundle");
    BundlePart part;
    part.title = "Broken";
    part.messages = {messageOf(folder, 1), messageOf(folder, 2)};
    const Result<AssembledPart> assembled = QpdfBundleAssembler().assemble(part, {folder, "b.pdf"});
    ASSERT_FALSE(assembled);
    EXPECT_NE(assembled.error().message.find("2.pdf"), std::string::npos) << assembled.error().message;
    EXPECT_EQ(folder.names().value().size(), 3u);
    EXPECT_EQ(folder.read("b.pdf").value(), "the earlier bundle");
}

} // namespace
