// What a reader of the PDF sees of signed and encrypted mail: the signed text and a line that
// says it is signed, or a notice that names the recipients, and the parts kept.
#include "tests/fidelity/FidelityHarness.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tessaly::test;

namespace {

constexpr const char *kSignedText = "Quarterly figures: revenue rose twelve percent.";

// A throwaway certificate (serial 5EC0DE01, alice@example.com) made for this run, and the
// S/MIME messages OpenSSL's command line makes with it from secure-smime-content.eml.
QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QStringList words(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *word : list)
        out.append(text(word));
    return out;
}

class SmimeMessages : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = new QTemporaryDir;
        const QString content = qEnvironmentVariable("TESSALY_FIDELITY_MESSAGES") + text("/secure-smime-content.eml");
        const QString certificate = path("alice.pem");
        const QString key = path("alice.key");
        s_failure = openssl(words({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                                   "/O=Tessaly Tests/CN=Alice Signer", "-addext",
                                   "subjectAltName=email:alice@example.com", "-set_serial", "0x5EC0DE01", "-keyout"}) +
                            QStringList{key, text("-out"), certificate});
        const QStringList headers =
            words({"-from", "Alice Signer <alice@example.com>", "-to", "tom@example.com", "-subject", "Figures"});
        const QStringList signer{text("-in"), content, text("-signer"), certificate, text("-inkey"), key};
        s_failure += openssl(words({"cms", "-sign", "-nodetach", "-out"}) +
                             QStringList{path("smime-opaque-signed.eml")} + signer + headers);
        s_failure += openssl(words({"cms", "-sign", "-out"}) + QStringList{path("smime-detached-signed.eml")} + signer +
                             headers);
        // Some signers sign bare text, with no header of its own.
        QFile bare(path("bare.txt"));
        if (!bare.open(QIODevice::WriteOnly) || bare.write("Bare signed words, with no header.\n") < 0)
            s_failure += text("cannot write bare.txt");
        bare.close();
        s_failure += openssl(words({"cms", "-sign", "-nodetach", "-binary", "-out"}) +
                             QStringList{path("smime-opaque-signed-bare.eml"), text("-in"), path("bare.txt")} +
                             signer.mid(2) + headers);
        s_failure += openssl(words({"cms", "-encrypt", "-aes256", "-in"}) +
                             QStringList{content, text("-out"), path("smime-encrypted.eml")} + headers +
                             QStringList{certificate});
    }
    static void TearDownTestSuite() { delete s_folder; }

    static QString path(const char *name) { return s_folder->filePath(text(name)); }

    // "" when the command ran well, else what it said.
    static QString openssl(const QStringList &arguments)
    {
        QProcess process;
        process.start(text("openssl"), arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return text("openssl ") + arguments.join(QLatin1Char(' ')) + text(": ") +
                   QString::fromUtf8(process.readAllStandardError());
        return {};
    }

    static inline QTemporaryDir *s_folder = nullptr;
    static inline QString s_failure;
};

struct SecureCase
{
    const char *message; ///< generated here, or in tests/fidelity/messages/ when it starts with "secure-"
    const char *options;
    std::vector<const char *> shown;
    std::vector<const char *> notShown;
    const char *keptFile;  ///< embedded in the PDF, or saved beside it
    bool keepsMessageFile; ///< the run must keep the .eml, as nothing else holds the content
};

bool shows(const RenderedMessage &rendered, const char *phrase)
{
    return rendered.text.simplified().contains(QString::fromUtf8(phrase));
}

bool anyWarningHas(const RenderedMessage &rendered, const std::string &text)
{
    for (const std::string &warning : rendered.warnings) {
        if (warning.find(text) != std::string::npos)
            return true;
    }
    return false;
}

bool keeps(const RenderedMessage &rendered, const QString &file)
{
    if (rendered.embeddedFiles.contains(file))
        return true;
    for (const QString &beside : rendered.filesBeside) {
        if (beside.endsWith(QLatin1Char('/') + file))
            return true;
    }
    return false;
}

} // namespace

TEST_F(SmimeMessages, SignedMailShowsItsTextAndSaysItIsSignedEncryptedMailSaysWhatItHolds)
{
    ASSERT_TRUE(s_failure.isEmpty()) << s_failure.toStdString();
    const char *const smimeLine = "Signature: Signed (S/MIME) by alice@example.com; signature not checked";
    const std::vector<SecureCase> cases{
        // Outlook's opaque signing: the text is inside the PKCS #7 and readable without a key.
        {"smime-opaque-signed.eml", "-c PDF -attach", {kSignedText, smimeLine}, {}, "smime.p7m", false},
        {"smime-opaque-signed-bare.eml",
         "-c pdf",
         {"Bare signed words, with no header.", smimeLine},
         {},
         nullptr,
         false},
        {"smime-detached-signed.eml", "-c PDF -attach", {kSignedText, smimeLine}, {}, "smime.p7s", false},
        {"secure-pgp-signed.eml",
         "-c PDF -attach",
         {kSignedText, "Signature: Signed (PGP); signature not checked"},
         {},
         "signature.asc",
         false},
        // Encrypted mail used to show a header block over an empty page.
        {"smime-encrypted.eml",
         "-c pdf",
         {"This message is encrypted (S/MIME).", "certificate serial 5EC0DE01, issued by", "CN=Alice Signer",
          "Encrypted part: smime.p7m, "},
         {"revenue rose"},
         nullptr,
         true},
        // Cut short: the label still says it is encrypted.
        {"secure-smime-unreadable.eml",
         "-c PDF -attach",
         {"This message is encrypted (S/MIME).", "(the envelope cannot be read)"},
         {},
         "smime.p7m",
         false},
        {"smime-encrypted.eml", "-c PDF -attach", {"encrypted (S/MIME)"}, {}, "smime.p7m", false},
        {"secure-pgp-encrypted.eml",
         "-c pdf",
         {"This message is encrypted (PGP/MIME).", "key ID 1122334455667788", "key ID A1B2C3D4E5F60718",
          "Encrypted part: encrypted.asc, "},
         {},
         nullptr,
         true},
        {"secure-pgp-encrypted.eml", "-c PDF -sattach", {"encrypted (PGP/MIME)"}, {}, "encrypted.asc", false},
    };
    for (const SecureCase &row : cases) {
        const std::string name = row.message;
        SCOPED_TRACE(name + " " + row.options);
        const QByteArray bytes = name.starts_with("secure-") ? fidelityMessage(QString::fromStdString(name))
                                                             : readWholeFile(path(row.message));
        const RenderedMessage rendered =
            renderMessage(bytes, QString::fromStdString(name.substr(0, name.size() - 4)), row.options);
        ASSERT_TRUE(rendered.converted) << rendered.error.toStdString();
        for (const char *phrase : row.shown)
            EXPECT_TRUE(shows(rendered, phrase)) << phrase << "\n" << rendered.text.toStdString();
        for (const char *phrase : row.notShown)
            EXPECT_FALSE(shows(rendered, phrase)) << phrase;
        if (row.keptFile) {
            EXPECT_TRUE(keeps(rendered, text(row.keptFile)))
                << rendered.embeddedFiles.join(QLatin1Char(' ')).toStdString() << " | "
                << rendered.filesBeside.join(QLatin1Char(' ')).toStdString();
        }
        EXPECT_EQ(anyWarningHas(rendered, "the message file is kept"), row.keepsMessageFile);
    }
}
