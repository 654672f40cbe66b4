// Reading S/MIME structures with OpenSSL's CMS functions: signed content, signers, recipients.
#include "mailconverter/mime/SmimeContent.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <climits>
#include <memory>

namespace tessaly {
namespace {

// Hostile structures may list thousands; a page shows this many and counts the rest.
constexpr int kMaxListed = 50;

struct OpenSslFree
{
    void operator()(BIO *bio) const { BIO_free(bio); }
    void operator()(CMS_ContentInfo *cms) const { CMS_ContentInfo_free(cms); }
    void operator()(STACK_OF(X509) * certificates) const { sk_X509_pop_free(certificates, X509_free); }
    void operator()(STACK_OF(OPENSSL_STRING) * emails) const { X509_email_free(emails); }
};
template <typename T> using OpenSslPtr = std::unique_ptr<T, OpenSslFree>;

std::string hexOf(const unsigned char *data, int length)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < length; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    return text;
}

std::string hexOf(const ASN1_STRING *string)
{
    return string ? hexOf(ASN1_STRING_get0_data(string), ASN1_STRING_length(string)) : std::string();
}

// "CN=Example CA,O=Example", in UTF-8 as the certificate spells it.
std::string nameText(const X509_NAME *name)
{
    OpenSslPtr<BIO> out(BIO_new(BIO_s_mem()));
    if (!name || !out || X509_NAME_print_ex(out.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) < 0)
        return {};
    char *data = nullptr;
    const long length = BIO_get_mem_data(out.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::string certificateOwner(X509 *certificate)
{
    OpenSslPtr<STACK_OF(OPENSSL_STRING)> emails(X509_get1_email(certificate));
    if (emails && sk_OPENSSL_STRING_num(emails.get()) > 0)
        return sk_OPENSSL_STRING_value(emails.get(), 0);
    return nameText(X509_get_subject_name(certificate));
}

std::vector<std::string> signersOf(CMS_ContentInfo *cms)
{
    std::vector<std::string> signers;
    STACK_OF(CMS_SignerInfo) *infos = CMS_get0_SignerInfos(cms);
    OpenSslPtr<STACK_OF(X509)> certificates(CMS_get1_certs(cms));
    if (!infos || !certificates)
        return signers;
    for (int i = 0; i < sk_CMS_SignerInfo_num(infos) && i < kMaxListed; ++i) {
        CMS_SignerInfo *info = sk_CMS_SignerInfo_value(infos, i);
        for (int c = 0; c < sk_X509_num(certificates.get()); ++c) {
            X509 *certificate = sk_X509_value(certificates.get(), c);
            if (CMS_SignerInfo_cert_cmp(info, certificate) != 0)
                continue;
            if (std::string owner = certificateOwner(certificate); !owner.empty())
                signers.push_back(std::move(owner));
            break;
        }
    }
    return signers;
}

// How a recipient is named: by the issuer and serial number of its certificate, or by the
// certificate's subject key identifier (RFC 5652 6.2.1).
std::string recipientText(const ASN1_OCTET_STRING *keyId, const X509_NAME *issuer, const ASN1_INTEGER *serial)
{
    if (issuer && serial)
        return "certificate serial " + hexOf(serial) + ", issued by " + nameText(issuer);
    if (keyId)
        return "certificate with key identifier " + hexOf(keyId);
    return "a certificate the envelope does not name";
}

std::vector<std::string> recipientsOf(CMS_ContentInfo *cms)
{
    std::vector<std::string> recipients;
    STACK_OF(CMS_RecipientInfo) *infos = CMS_get0_RecipientInfos(cms);
    const int count = infos ? sk_CMS_RecipientInfo_num(infos) : 0;
    for (int i = 0; i < count && static_cast<int>(recipients.size()) < kMaxListed; ++i) {
        CMS_RecipientInfo *info = sk_CMS_RecipientInfo_value(infos, i);
        ASN1_OCTET_STRING *keyId = nullptr;
        X509_NAME *issuer = nullptr;
        ASN1_INTEGER *serial = nullptr;
        switch (CMS_RecipientInfo_type(info)) {
        case CMS_RECIPINFO_TRANS:
            if (CMS_RecipientInfo_ktri_get0_signer_id(info, &keyId, &issuer, &serial) == 1)
                recipients.push_back(recipientText(keyId, issuer, serial));
            break;
        case CMS_RECIPINFO_AGREE: {
            STACK_OF(CMS_RecipientEncryptedKey) *keys = CMS_RecipientInfo_kari_get0_reks(info);
            for (int k = 0; keys && k < sk_CMS_RecipientEncryptedKey_num(keys); ++k) {
                ASN1_GENERALIZEDTIME *date = nullptr;
                CMS_OtherKeyAttribute *other = nullptr;
                if (CMS_RecipientEncryptedKey_get0_id(sk_CMS_RecipientEncryptedKey_value(keys, k), &keyId, &date,
                                                      &other, &issuer, &serial) == 1)
                    recipients.push_back(recipientText(keyId, issuer, serial));
            }
            break;
        }
        case CMS_RECIPINFO_KEK:
            recipients.push_back("a shared secret key");
            break;
        case CMS_RECIPINFO_PASS:
            recipients.push_back("a password");
            break;
        default:
            recipients.push_back("a key of a kind this reader does not know");
            break;
        }
    }
    if (count > kMaxListed)
        recipients.push_back("and " + std::to_string(count - kMaxListed) + " more");
    return recipients;
}

} // namespace

SmimeContent readSmimeContent(std::string_view bytes)
{
    SmimeContent content;
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX))
        return content;
    OpenSslPtr<BIO> in(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    OpenSslPtr<CMS_ContentInfo> cms(in ? d2i_CMS_bio(in.get(), nullptr) : nullptr);
    if (!cms) {
        ERR_clear_error();
        return content;
    }
    switch (OBJ_obj2nid(CMS_get0_type(cms.get()))) {
    case NID_pkcs7_signed: {
        content.kind = SmimeContent::Kind::Signed;
        content.signers = signersOf(cms.get());
        ASN1_OCTET_STRING **inner = CMS_get0_content(cms.get());
        if (inner && *inner)
            content.signedContent = std::string(reinterpret_cast<const char *>(ASN1_STRING_get0_data(*inner)),
                                                static_cast<std::size_t>(ASN1_STRING_length(*inner)));
        break;
    }
    case NID_pkcs7_enveloped:
    case NID_id_smime_ct_authEnvelopedData:
        content.kind = SmimeContent::Kind::Encrypted;
        content.recipients = recipientsOf(cms.get());
        break;
    default:
        break;
    }
    // Hostile bytes leave parse errors behind, which must not reach the next OpenSSL user.
    ERR_clear_error();
    return content;
}

std::string smimeSignatureNote(const std::vector<std::string> &signers)
{
    std::string note = "Signed (S/MIME)";
    for (std::size_t i = 0; i < signers.size(); ++i)
        note += (i == 0 ? " by " : ", ") + signers[i];
    return note + "; signature not checked";
}

} // namespace tessaly
