#pragma once

#include <string>

// A throw-away certificate authority and a server certificate it signed for
// 127.0.0.1 and localhost, both as PEM text, made in memory at start-up so
// the substitute service needs no files of its own.
struct ServiceCertificate {
    std::string ca_pem;
    std::string certificate_pem;
    std::string private_key_pem;
};

ServiceCertificate make_service_certificate();
