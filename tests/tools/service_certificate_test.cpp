#include "tools/service_certificate.h"

#include <openssl/bio.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

template <auto Free> struct Deleter {
    template <typename T> void operator()(T* p) const noexcept { Free(p); }
};
using Certificate = std::unique_ptr<X509, Deleter<X509_free>>;

Certificate read_certificate(const std::string& pem)
{
    std::unique_ptr<BIO, Deleter<BIO_free_all>> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return Certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

// The lengths of the signature's r and s, in bytes.
std::pair<int, int> signature_value_lengths(const X509* cert)
{
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, cert);
    const unsigned char* der = signature->data;
    std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG_free>> values(d2i_ECDSA_SIG(nullptr, &der, signature->length));
    if (!values) return {0, 0};
    return {BN_num_bytes(ECDSA_SIG_get0_r(values.get())), BN_num_bytes(ECDSA_SIG_get0_s(values.get()))};
}

// Wine verifies only full-length ECDSA values; a short one turns up in about
// one set in seventy, so two hundred sets would show it nearly always.
TEST(ServiceCertificate, EverySignatureHasFullLengthValuesAndVerifies)
{
    const std::pair<int, int> full_length{32, 32};
    for (int set = 0; set < 200; ++set) {
        const ServiceCertificate generated = make_service_certificate();
        const Certificate ca = read_certificate(generated.ca_pem);
        const Certificate server = read_certificate(generated.certificate_pem);
        ASSERT_TRUE(ca && server) << "set " << set;
        EXPECT_EQ(full_length, signature_value_lengths(ca.get())) << "set " << set;
        EXPECT_EQ(full_length, signature_value_lengths(server.get())) << "set " << set;
        EVP_PKEY* ca_key = X509_get0_pubkey(ca.get());
        EXPECT_EQ(1, X509_verify(ca.get(), ca_key)) << "set " << set;
        EXPECT_EQ(1, X509_verify(server.get(), ca_key)) << "set " << set;
    }
}

}  // namespace
