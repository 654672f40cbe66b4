// Body text in several scripts, for checking that every word comes back out of a PDF.
#pragma once

#include <QString>
#include <QStringList>

namespace tessaly::test {

struct ScriptSample
{
    const char *language;
    QString text;
};

/// Folds what pdftotext gives back differently from what was typed, and only that: the
/// lam-alef ligature, whose two letters poppler puts in the wrong order when it reverses
/// right-to-left text. Nothing else: a reader's search would miss it.
inline QString searchForm(QString text)
{
    return text.replace(QStringLiteral("\u0644\u0627"), QStringLiteral("\u0627\u0644"));
}

/// One line per script. Thai, Chinese and Japanese put no spaces between words, so their
/// "words" are whole phrases: each must come back whole and in order.
inline QList<ScriptSample> scriptSamples()
{
    return {
        {"English", QStringLiteral("The quarterly figures for the office are attached")},
        {"German", QStringLiteral("Grüße aus München über die Straße")},
        {"Greek", QStringLiteral("Καλημέρα σας η συνάντηση είναι αύριο")},
        {"Russian", QStringLiteral("Привет из Москвы отчёт прилагается")},
        {"Arabic", QStringLiteral("مرحبا بكم في الاجتماع غدا")},
        {"Persian", QStringLiteral("سلام دوستان گزارش کار پیوست است")},
        {"Hebrew", QStringLiteral("שלום לכולם הפגישה מחר")},
        {"Hindi", QStringLiteral("नमस्ते आपकी बैठक कल सुबह है")},
        {"Thai", QStringLiteral("สวัสดีครับ การประชุมจะเริ่มพรุ่งนี้")},
        {"Chinese (Simplified)", QStringLiteral("会议明天下午三点开始 请准时参加")},
        {"Chinese (Traditional)", QStringLiteral("我們明天開會討論預算")},
        {"Japanese", QStringLiteral("会議は明日の午後三時からです")},
        {"Korean", QStringLiteral("내일 회의는 오후 세시에 시작합니다")},
    };
}

/// Text that only shaping draws right and only clusters give back: Thai vowels and tone
/// marks, emoji joined into one, and lines of several scripts.
inline QList<ScriptSample> shapedScriptSamples()
{
    return {
        {"Thai with tone marks", QStringLiteral("ผู้จัดการ ส่งรายงานแล้ว ขอบคุณที่ช่วยเหลือ")},
        {"Emoji joined", QStringLiteral("Family 👨‍👩‍👧 thumbs 👍🏽 flag 🏳️‍🌈 done")},
        {"Mixed scripts", QStringLiteral("Invoice 2024 для клиента مرحبا שלום 会议 नमस्ते end")},
    };
}

/// Arabic letters with vowel marks and Hebrew with points, marks drawn above, below and inside
/// the letters and on a lam-alef. A line whose last letter carries a mark is left out: poppler
/// puts a line's leftmost mark ahead of the right-to-left text when the page reads left to right.
inline QList<ScriptSample> markedRightToLeftSamples()
{
    return {
        {"Arabic with vowel marks", QStringLiteral("مَرْحَبًا بِكُمْ فِي الاِجْتِمَاعِ غَدًا")},
        {"Hebrew with points", QStringLiteral("שָׁלוֹם הַפְּגִישָׁה מָחָר")},
    };
}

} // namespace tessaly::test
