// What a reader of the PDF sees of a meeting invitation: the invitation block where the
// calendar part stands, and the calendar kept as a file.
#include "tests/fidelity/FidelityHarness.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tessaly::test;

namespace {

// The bytes of the file embedded in `pdf` as `name`, as pdfdetach saves it.
QByteArray embeddedFile(const QByteArray &pdf, const QString &name)
{
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("message.pdf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return {};
    file.close();
    QProcess::execute(QStringLiteral("pdfdetach"),
                      {QStringLiteral("-saveall"), QStringLiteral("-o"), folder.path(), file.fileName()});
    QFile saved(folder.filePath(name));
    return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
}

// The content of the part of `message` whose content starts with `firstLine`: up to the line
// break before its boundary, which belongs to the boundary (RFC 2046).
QByteArray partContent(const QByteArray &message, const QByteArray &firstLine, const QByteArray &boundary)
{
    const qsizetype begin = message.indexOf(firstLine);
    return message.mid(begin, message.indexOf("\n--" + boundary, begin) - begin);
}

} // namespace

TEST(InvitationFidelity, RequestBesideItsTextAlternativeShowsTheMeetingAndKeepsTheCalendar)
{
    const RenderedMessage shown = renderFidelityMessage(QStringLiteral("invitation-request.eml"), "-c PDF -attach");
    ASSERT_TRUE(shown.converted) << shown.error.toStdString();
    // Each label beside its value, as drawn.
    EXPECT_TRUE(
        showsInOrder(shown.layoutText, {"Please join us.", "Invitation: Quarterly review",
                                        "Start: Monday, 12 January 2026, 10:00 (W. Europe Standard Time)",
                                        "End: Monday, 12 January 2026, 11:30 (W. Europe Standard Time)",
                                        "Repeats: Weekly on Monday, 10 times", "Location: Room Fjord, 3rd floor",
                                        "Organizer: Nora Vik <nora@example.com>",
                                        "Attendees: Per Holm <per@example.com> (required, accepted)",
                                        "Liv Dahl <liv@example.com> (optional, not yet answered)",
                                        "Description: Agenda:", "1. Figures for the quarter", "2. Hiring plan"}))
        << shown.layoutText.toStdString();
    EXPECT_TRUE(shown.warnings.empty());
    ASSERT_EQ(stdStrings(shown.embeddedFiles), (std::vector<std::string>{"invite.ics"}));
    // The calendar after its transfer encoding: quoted-printable soft breaks joined, "=3D" read.
    const QByteArray ics = embeddedFile(shown.pdf, QStringLiteral("invite.ics"));
    EXPECT_TRUE(ics.startsWith("BEGIN:VCALENDAR\nPRODID:")) << ics.toStdString();
    EXPECT_TRUE(ics.contains("ATTENDEE;CN=Per Holm;ROLE=REQ-PARTICIPANT;PARTSTAT=ACCEPTED:mailto:per@example.com\n"))
        << ics.toStdString();
    EXPECT_TRUE(ics.endsWith("END:VEVENT\nEND:VCALENDAR")) << ics.toStdString();
}

TEST(InvitationFidelity, TheStyleSheetOfAnHtmlAlternativeCannotHideTheInvitation)
{
    QByteArray message = fidelityMessage(QStringLiteral("invitation-request.eml"));
    message.replace("Please join us.\n--alt\n",
                    "Please join us.\n--alt\nContent-Type: text/html; charset=utf-8\n\n"
                    "<style>table,tr,td{display:none!important}</style><p>Please join us in HTML.</p>\n--alt\n");
    const RenderedMessage shown = renderMessage(message, QStringLiteral("invitation-request-html"));
    ASSERT_TRUE(shown.converted) << shown.error.toStdString();
    EXPECT_TRUE(showsInOrder(shown.text, {"Please join us in HTML.", "Invitation: Quarterly review",
                                          "Weekly on Monday, 10 times", "2. Hiring plan"}))
        << shown.text.toStdString();
}

TEST(InvitationFidelity, CancellationIsShownWhereItStandsAndAMalformedCalendarAsText)
{
    const QByteArray message = fidelityMessage(QStringLiteral("invitation-cancel.eml"));
    const RenderedMessage embedded = renderFidelityMessage(QStringLiteral("invitation-cancel.eml"), "-c PDF -attach");
    ASSERT_TRUE(embedded.converted) << embedded.error.toStdString();
    EXPECT_TRUE(showsInOrder(embedded.layoutText,
                             {"The visit is off, sorry.", "Cancellation: Supplier visit",
                              "Start: Tuesday, 20 January 2026, 13:00 UTC", "End: Tuesday, 20 January 2026, 15:00 UTC",
                              "Location: Main gate", "Organizer: Nora Vik <nora@example.com>",
                              "Attendees: Per Holm <per@example.com> (required, not yet answered)", "BEGIN:VCALENDAR",
                              "DTSTART:not a time", "SUMMARY:Broken entry kept as text"}))
        << embedded.layoutText.toStdString();
    ASSERT_EQ(stdStrings(embedded.embeddedFiles), (std::vector<std::string>{"invite.ics", "supplier-visit.ics"}));
    EXPECT_EQ(embeddedFile(embedded.pdf, QStringLiteral("supplier-visit.ics")),
              partContent(message, "BEGIN:VCALENDAR\nPRODID:-//Tessaly tests//Cancellation", "mx"));
    EXPECT_EQ(embeddedFile(embedded.pdf, QStringLiteral("invite.ics")),
              partContent(message, "BEGIN:VCALENDAR\nBEGIN:VEVENT", "mx"));

    const RenderedMessage saved = renderFidelityMessage(QStringLiteral("invitation-cancel.eml"), "-c PDF -sattach");
    ASSERT_TRUE(saved.converted) << saved.error.toStdString();
    EXPECT_EQ(stdStrings(saved.filesBeside),
              (std::vector<std::string>{"invitation-cancel attachments", "invitation-cancel attachments/invite.ics",
                                        "invitation-cancel attachments/supplier-visit.ics"}));
}
