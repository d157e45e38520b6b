#include "tools/service_certificate.h"

#include <openssl/bio.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace {

template <auto Free> struct Deleter {
    template <typename T> void operator()(T* p) const noexcept { Free(p); }
};

using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO_free_all>>;

void check(bool ok, const char* what)
{
    if (!ok) throw std::runtime_error(std::string("certificate generation failed: ") + what);
}

Key make_key()
{
    Key key(EVP_EC_gen("P-256"));
    check(key != nullptr, "EVP_EC_gen");
    return key;
}

void add_extension(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
    check(ext != nullptr, value);
    check(X509_add_ext(cert, ext.get(), -1) == 1, "X509_add_ext");
}

// Wine's certificate chain check refuses an ECDSA signature whose r or s is
// shorter than the curve's 32 bytes (a value starting with a zero byte,
// about one fresh certificate set in seventy), and WinHTTP then fails every
// handshake against that set as 12157. ECDSA signing draws a fresh nonce
// each time, so signing again gives full-length values within a try or two;
// RSA keys would avoid it too, at about half a second of key generation
// for every start of the service, which the tests start many times.
bool has_full_length_values(const X509* cert)
{
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, cert);
    const unsigned char* der = signature->data;
    std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG_free>> values(d2i_ECDSA_SIG(nullptr, &der, signature->length));
    check(values != nullptr, "d2i_ECDSA_SIG");
    constexpr int p256_value_bytes = 32;
    return BN_num_bytes(ECDSA_SIG_get0_r(values.get())) == p256_value_bytes &&
           BN_num_bytes(ECDSA_SIG_get0_s(values.get())) == p256_value_bytes;
}

void sign_with_full_length_values(X509* cert, EVP_PKEY* issuer_key)
{
    do {
        check(X509_sign(cert, issuer_key, EVP_sha256()) > 0, "X509_sign");
    } while (!has_full_length_values(cert));
}

Certificate make_certificate(const char* common_name, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuer_key)
{
    Certificate cert(X509_new());
    check(cert != nullptr, "X509_new");
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    check(RAND_bytes(serial, sizeof serial) == 1, "RAND_bytes");
    serial[0] &= 0x7f;
    std::unique_ptr<BIGNUM, Deleter<BN_free>> bn(BN_bin2bn(serial, sizeof serial, nullptr));
    check(BN_to_ASN1_INTEGER(bn.get(), X509_get_serialNumber(cert.get())) != nullptr, "serial");
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7L * 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(common_name), -1, -1,
                               0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    if (issuer) {
        add_extension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
        add_extension(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        add_extension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
        add_extension(cert.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
        add_extension(cert.get(), signer, NID_authority_key_identifier, "keyid:always");
    } else {
        add_extension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        add_extension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    }
    add_extension(cert.get(), signer, NID_subject_key_identifier, "hash");
    sign_with_full_length_values(cert.get(), issuer_key);
    return cert;
}

template <typename Write> std::string pem_text(Write write)
{
    Bio bio(BIO_new(BIO_s_mem()));
    check(bio != nullptr && write(bio.get()) == 1, "PEM write");
    char* data = nullptr;
    long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::string certificate_pem(X509* cert)
{
    return pem_text([cert](BIO* bio) { return PEM_write_bio_X509(bio, cert); });
}

}  // namespace

ServiceCertificate make_service_certificate()
{
    Key ca_key = make_key();
    Certificate ca = make_certificate("Substitute service test CA", ca_key.get(), nullptr, ca_key.get());
    Key server_key = make_key();
    Certificate server = make_certificate("localhost", server_key.get(), ca.get(), ca_key.get());

    ServiceCertificate result;
    result.ca_pem = certificate_pem(ca.get());
    result.certificate_pem = certificate_pem(server.get());
    result.private_key_pem = pem_text([&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, server_key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    return result;
}
