// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testcerts.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace velmora::testing {

namespace {

const QString kLoopbackNames = QStringLiteral("DNS:localhost,IP:127.0.0.1,IP:::1");

class CertMaker
{
public:
    explicit CertMaker(const QString &folder) : m_folder(folder) {}

    QString path(const QString &name) const { return m_folder + QLatin1Char('/') + name; }

    // Runs openssl with args in the folder; false (and error set) when it fails.
    bool run(const QStringList &args)
    {
        if (!error.isEmpty())
            return false;
        QProcess p;
        p.setWorkingDirectory(m_folder);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            error = QStringLiteral("openssl %1: %2").arg(args.join(QLatin1Char(' ')),
                                                          QString::fromLocal8Bit(p.readAll()) + p.errorString());
            return false;
        }
        return true;
    }

    CertificatePair selfSignedCa(const QString &name)
    {
        run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
             "-keyout", name + ".key", "-out", name + ".pem", "-subj", "/CN=Velmora " + name, "-days", "3650",
             "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"});
        return {path(name + ".pem"), path(name + ".key")};
    }

    // A server certificate for `names` (subjectAltName form), signed by ca
    // or by itself when ca is empty; days < 0 makes it expired.
    CertificatePair server(const QString &name, const QString &names, const CertificatePair &ca, int days = 365)
    {
        const QString ext = path(name + ".ext");
        QFile f(ext);
        if (!f.open(QIODevice::WriteOnly))
            error = QStringLiteral("cannot write ") + ext;
        f.write("subjectAltName=" + names.toLatin1()
                + "\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature\nextendedKeyUsage=serverAuth\n");
        f.close();
        const QString cn = names.section(QLatin1Char(','), 0, 0).section(QLatin1Char(':'), 1);
        run({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
             "-keyout", name + ".key", "-out", name + ".csr", "-subj", "/CN=" + cn});
        QStringList sign{"x509", "-req", "-in", name + ".csr", "-out", name + ".pem", "-days",
                         QString::number(days), "-extfile", ext, "-set_serial", QString::number(++m_serial)};
        if (ca.certificate.isEmpty())
            sign << "-key" << name + ".key";
        else
            sign << "-CA" << ca.certificate << "-CAkey" << ca.key;
        run(sign);
        return {path(name + ".pem"), path(name + ".key")};
    }

    QString error;

private:
    QString m_folder;
    int m_serial = 1;
};

TestCertificates Make(const QString &folder)
{
    TestCertificates out;
    CertMaker maker(folder);
    const CertificatePair ca = maker.selfSignedCa(QStringLiteral("test-ca"));
    const CertificatePair stranger = maker.selfSignedCa(QStringLiteral("unknown-ca"));
    out.caFile = ca.certificate;
    out.good = maker.server(QStringLiteral("good"), kLoopbackNames, ca);
    out.selfSigned = maker.server(QStringLiteral("self-signed"), kLoopbackNames, {});
    out.expired = maker.server(QStringLiteral("expired"), kLoopbackNames, ca, -1);
    out.wrongName = maker.server(QStringLiteral("wrong-name"), QStringLiteral("DNS:wrong.invalid"), ca);
    out.unknownCa = maker.server(QStringLiteral("unknown-ca-server"), kLoopbackNames, stranger);
    out.error = maker.error;
    out.ok = out.error.isEmpty();
    return out;
}

} // namespace

const TestCertificates &TestCerts()
{
    // The folder lives as long as the program, so the files stay readable
    // to servers and child processes until the end.
    static QTemporaryDir folder;
    static const TestCertificates certs = folder.isValid()
        ? Make(folder.path())
        : TestCertificates{false, QStringLiteral("no temporary folder"), {}, {}, {}, {}, {}, {}};
    return certs;
}

} // namespace velmora::testing
