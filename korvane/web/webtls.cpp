#include "korvane/web/webtls.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

#include "korvane/core/webcrypto.h"
#include "platform/platform.h"
#include "reseau.h"

namespace korvane::web {

namespace {

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T* pointer) const {
        Free(pointer);
    }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO_free>>;

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::string AltNames() {
    std::string names = "DNS:localhost,IP:127.0.0.1,IP:::1";
    const std::string host = toolkit::platform::LocalHostName();
    if (toolkit::IsPlainHostName(host)) names += ",DNS:" + host;
    toolkit::TextList addresses, masks;
    toolkit::LoadLocalAddressTable(addresses, masks);
    for (const std::string& address : addresses) {
        if (toolkit::IsDottedIPv4(address) && address != "127.0.0.1") names += ",IP:" + address;
    }
    return names;
}

bool AddAltNames(X509* certificate) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension =
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, AltNames().c_str());
    if (!extension) return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

Certificate SelfSigned(EVP_PKEY* key) {
    Certificate certificate(X509_new());
    if (!certificate) return nullptr;
    X509_set_version(certificate.get(), 2);
    // A random serial: a browser that kept an earlier certificate of the same
    // name and serial would refuse this one.
    std::int64_t serial = 0;
    for (const char byte : RandomBytes(7)) serial = serial * 256 + static_cast<unsigned char>(byte);
    ASN1_INTEGER_set_int64(X509_get_serialNumber(certificate.get()), serial + 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(certificate.get(), key);
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Korvane"), -1, -1, 0);
    X509_set_issuer_name(certificate.get(), name);
    if (!AddAltNames(certificate.get()) || X509_sign(certificate.get(), key, EVP_sha256()) == 0) {
        return nullptr;
    }
    return certificate;
}

std::string Fingerprint(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &size) != 1) return {};
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        if (i > 0) text += ':';
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 15];
    }
    return text;
}

// Writes a new key and certificate; the French problem, or empty.
std::string MakeCertificate(const std::string& certificatePath, const std::string& keyPath) {
    Key key(EVP_EC_gen("P-256"));
    Certificate certificate = key ? SelfSigned(key.get()) : nullptr;
    Bio keyBio(BIO_new(BIO_s_mem())), certificateBio(BIO_new(BIO_s_mem()));
    if (!certificate || !keyBio || !certificateBio ||
        PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1 ||
        PEM_write_bio_X509(certificateBio.get(), certificate.get()) != 1) {
        return "Le certificat HTTPS n'a pas pu être créé (OpenSSL).";
    }
    try {
        toolkit::platform::ReplacePrivateFile(keyPath, BioText(keyBio.get()));
        toolkit::platform::ReplaceFile(certificatePath, BioText(certificateBio.get()));
    } catch (const toolkit::FileError& error) {
        return error.what();
    }
    return {};
}

}  // namespace

std::string CertificateFingerprint(const std::string& path) {
    std::string pem;
    try {
        pem = toolkit::platform::ReadRegularFile(path, 1 << 20);
    } catch (const toolkit::FileError&) {
        return {};
    }
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    Certificate certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)
                                : nullptr);
    return certificate ? Fingerprint(certificate.get()) : std::string();
}

TlsFiles PrepareTls(const std::string& programDir, const WebAccessSettings& settings) {
    TlsFiles files;
    if (settings.tls == TlsChoice::Off) return files;
    if (settings.tls == TlsChoice::OwnFiles) {
        files.certificate = settings.certificateFile;
        files.key = settings.keyFile;
    } else {
        files.certificate = programDir + kCertificateFile;
        files.key = programDir + kKeyFile;
        if (!toolkit::platform::FileExists(files.certificate) ||
            !toolkit::platform::FileExists(files.key)) {
            files.problem = MakeCertificate(files.certificate, files.key);
        }
    }
    if (files.problem.empty()) files.fingerprint = CertificateFingerprint(files.certificate);
    if (files.problem.empty() && files.fingerprint.empty()) {
        files.problem = "Certificat HTTPS illisible : " + toolkit::Quoted(files.certificate) + ".";
    }
    if (!files.problem.empty()) files.certificate = files.key = files.fingerprint = {};
    return files;
}

}  // namespace korvane::web
