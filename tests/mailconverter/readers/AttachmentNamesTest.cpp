// Safe names for attachments: hostile declared names, unnamed parts, duplicates.
#include "mailconverter/readers/AttachmentNames.h"
#include "support/Utf8.h"

#include <gtest/gtest.h>

#include <string>

using namespace tessaly;

namespace {

std::string safe(std::string_view declared, std::string_view mimeType = "application/octet-stream", int index = 1)
{
    return safeAttachmentName(declared, mimeType, index);
}

} // namespace

TEST(AttachmentNames, DeclaredNamesBecomeSafeFileNames)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        // Hostile names stay in their folder.
        {"../../x", "x"},
        {"/etc/passwd", "passwd"},
        {"C:\\Windows\\evil.exe", "evil.exe"},
        {"C:evil.exe", "evil.exe"},
        {"..", "attachment-1.bin"},
        {"dir/", "attachment-1.bin"},
        {".bashrc", "_bashrc"},
        {"  report.pdf. . ", "report.pdf"},
        // Control, bidi and reserved characters go.
        {"a\tb\x01"
         "c\x7F.txt",
         "abc.txt"},
        {"a\xC2\x85z.txt", "az.txt"}, // C1 NEL
        // U+202E would show "invoice_fdp.exe" as "invoice_exe.pdf".
        {"invoice_\xE2\x80\xAE"
         "fdp.exe",
         "invoice_fdp.exe"},
        {"x\xE2\x81\xA6y.txt", "xy.txt"},
        // The marks LRM, RLM and ALM reorder a name as the overrides do.
        {"a\xE2\x80\x8E"
         "b.txt",
         "ab.txt"},
        {"a\xE2\x80\x8F"
         "b.txt",
         "ab.txt"},
        {"a\xD8\x9C"
         "b.txt",
         "ab.txt"},
        {"what<>\"|?*.txt", "what______.txt"},
        // Invalid UTF-8 becomes replacement characters; valid UTF-8 stays.
        {"caf\xE9.txt", "caf\xEF\xBF\xBD.txt"},
        {"\xC0\xAF"
         "a.txt",
         "\xEF\xBF\xBD"
         "a.txt"}, // overlong "/" is no separator
        {"übersicht €.txt", "übersicht €.txt"},
        {"日本 レポート.txt", "日本 レポート.txt"},
        // Windows device names get a prefix, whatever follows them.
        {"CON.txt", "_CON.txt"},
        {"con", "_con"},
        {"Lpt9.tar.gz", "_Lpt9.tar.gz"},
        {"COM\xC2\xB9.log", "_COM\xC2\xB9.log"},
        {"conout$.x", "_conout$.x"},
        {"NUL .txt", "_NUL .txt"},
        {"CONSOLE.txt", "CONSOLE.txt"},
        {"COM10", "COM10"},
    };
    for (const auto &[declared, expected] : cases)
        EXPECT_EQ(safe(declared), expected) << declared;
}

TEST(AttachmentNames, LongNamesAreCutAtACharacterKeepingTheExtension)
{
    const std::string ascii = safe(std::string(300, 'a') + ".pdf");
    EXPECT_EQ(ascii.size(), kMaxAttachmentNameBytes);
    EXPECT_TRUE(ascii.ends_with("a.pdf"));

    std::string japanese;
    for (int i = 0; i < 100; ++i)
        japanese += "日";
    const std::string cut = safe(japanese + ".txt");
    EXPECT_LE(cut.size(), kMaxAttachmentNameBytes);
    EXPECT_TRUE(cut.ends_with("日.txt"));
    EXPECT_EQ(cut, toValidUtf8(cut)); // no character split

    const std::string noExtension = safe(std::string(200, 'b') + "." + std::string(50, 'c'));
    EXPECT_EQ(noExtension.size(), kMaxAttachmentNameBytes);
}

TEST(AttachmentNames, UnnamedPartsGetANumberAndAnExtensionFromTheType)
{
    EXPECT_EQ(safe("", "image/png", 3), "attachment-3.png");
    EXPECT_EQ(safe("", "text/plain; charset=utf-8", 1), "attachment-1.txt");
    EXPECT_EQ(safe("", "Application/PDF", 2), "attachment-2.pdf");
    EXPECT_EQ(safe("", "application/x-unheard-of", 4), "attachment-4.bin");
    EXPECT_EQ(mimeTypeForFileName("photo.JPEG"), "image/jpeg");
    EXPECT_EQ(mimeTypeForFileName("noextension"), "application/octet-stream");
}

TEST(AttachmentNames, ForwardedMessagesAreNamedAfterTheirSubject)
{
    EXPECT_EQ(forwardedMessageName("Re: Q3 figures / final?", 2), "Re_ Q3 figures _ final_.eml");
    EXPECT_EQ(forwardedMessageName("Lunch", 1), "Lunch.eml");
    EXPECT_EQ(forwardedMessageName("", 5), "attachment-5.eml");

    const std::string raw = "From someone Fri Mar  5 14:07:00 2021\n"
                            "From: a@example.com\n"
                            "Subject: =?UTF-8?B?w5xiZXJzaWNodA==?=\n"
                            " =?ISO-8859-1?Q?_f=FCr_M=E4rz?=\n"
                            "To: b@example.com\n\n"
                            "Subject: not this\n";
    EXPECT_EQ(subjectOfRawMessage(raw), "Übersicht für März");
    EXPECT_EQ(subjectOfRawMessage("From: x\n\nSubject: body\n"), "");
}

TEST(AttachmentNames, AsciiFallbackKeepsLettersItCan)
{
    EXPECT_EQ(asciiFallbackName("übersicht €.txt"), "ubersicht _.txt");
    EXPECT_EQ(asciiFallbackName("Straße.txt"), "Strasse.txt");
    EXPECT_EQ(asciiFallbackName("日本 レポート.txt"), "__ ____.txt");
}

TEST(AttachmentNames, DuplicatesAreNumberedIgnoringCase)
{
    UniqueNames names;
    names.reserve("notes.txt"); // already on disk
    EXPECT_EQ(names.claim("NOTES.TXT"), "NOTES (2).TXT");
    EXPECT_EQ(names.claim("Notes.txt"), "Notes (3).txt");
    EXPECT_EQ(names.claim("Übersicht.pdf"), "Übersicht.pdf");
    EXPECT_EQ(names.claim("übersicht.PDF"), "übersicht (2).PDF");
    EXPECT_EQ(names.claim("ОТЧЁТ"), "ОТЧЁТ");
    EXPECT_EQ(names.claim("отчёт"), "отчёт (2)");
    EXPECT_EQ(names.claim("_bashrc"), "_bashrc");
    EXPECT_EQ(names.claim("_bashrc"), "_bashrc (2)");
}

TEST(AttachmentNames, NumberingSkipsNumberedNamesAlreadyTaken)
{
    UniqueNames names;
    names.reserve("a (2).txt");
    names.reserve("A (4).TXT");
    EXPECT_EQ(names.claim("a.txt"), "a.txt");
    EXPECT_EQ(names.claim("a.txt"), "a (3).txt");
    EXPECT_EQ(names.claim("a.txt"), "a (5).txt");
    EXPECT_EQ(names.claim("a (5).txt"), "a (5) (2).txt");
    EXPECT_EQ(names.claim("A.txt"), "A (6).txt");
    for (int i = 0; i < 20000; ++i)
        names.claim("same.txt");
    EXPECT_EQ(names.claim("same.txt"), "same (20001).txt");
}
