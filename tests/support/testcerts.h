// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Certificates for the loopback TLS servers of the tests, made with the
// openssl command into a temporary folder the first time a test asks for
// them and kept until the test program ends.
#include <QString>

namespace velmora::testing {

struct CertificatePair
{
    QString certificate;  // PEM file
    QString key;          // PEM file, unencrypted
};

struct TestCertificates
{
    bool ok = false;         // false when openssl could not make them (see error)
    QString error;
    QString caFile;          // the test CA: the one file a client must trust
    CertificatePair good;        // signed by the test CA for localhost, 127.0.0.1 and ::1
    CertificatePair selfSigned;  // the same names, signed by itself
    CertificatePair expired;     // signed by the test CA, no longer valid
    CertificatePair wrongName;   // signed by the test CA for wrong.invalid only
    CertificatePair unknownCa;   // the right names, signed by a CA nobody trusts
};

// Made once per test program; later calls return the same files.
const TestCertificates &TestCerts();

} // namespace velmora::testing
