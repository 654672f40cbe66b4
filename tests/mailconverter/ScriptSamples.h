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

/// Folds what may differ between a word as written and as pdftotext gives it back:
/// presentation forms and compatibility ideographs (NFKC), and the lam-alef ligature,
/// whose two letters poppler puts in the wrong order when it reverses right-to-left text.
inline QString searchForm(const QString &text)
{
    QString folded = text.normalized(QString::NormalizationForm_KC);
    folded.replace(QStringLiteral("\u0644\u0627"), QStringLiteral("\u0627\u0644"));
    return folded;
}

inline QList<ScriptSample> scriptSamples()
{
    return {
        {"English", QStringLiteral("The quarterly report is attached for review")},
        {"German", QStringLiteral("Grüße aus München über die Straße")},
        {"Russian", QStringLiteral("Привет из Москвы отчёт прилагается")},
        {"Japanese", QStringLiteral("会議は明日の午後三時からです")},
        {"Arabic", QStringLiteral("مرحبا بكم في الاجتماع غدا")},
        {"Hebrew", QStringLiteral("שלום לכולם הפגישה מחר")},
    };
}

} // namespace tessaly::test
