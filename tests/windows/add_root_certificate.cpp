// add_root_certificate CA.pem: trusts a test CA in the machine's Root store,
// as an administrator would, so that WinHTTP's own validation accepts the
// substitute service. For the tests under Wine only.
#include <windows.h>
// after windows.h, which it needs
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct StoreCloser {
    void operator()(HCERTSTORE store) const noexcept { CertCloseStore(store, 0); }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: add_root_certificate CA.pem\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string pem{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    DWORD size = 0;
    if (pem.empty() || !CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                                             nullptr, &size, nullptr, nullptr)) {
        std::fprintf(stderr, "add_root_certificate: %s holds no PEM certificate\n", argv[1]);
        return 1;
    }
    std::vector<BYTE> der(size);
    CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size,
                         nullptr, nullptr);
    const std::unique_ptr<void, StoreCloser> store(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    if (!store || !CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), size,
                                                    CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        std::fprintf(stderr, "add_root_certificate: the Root store refused it (error %lu)\n", GetLastError());
        return 1;
    }
    return 0;
}
