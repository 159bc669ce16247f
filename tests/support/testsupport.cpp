#include "testsupport.h"

#include "common/ui/msgbox.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QWidget>

namespace velmora::testing {

QByteArray Sha256OfFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result().toHex();
}

QByteArray Sha256(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton answer) : m_answer(answer)
{
    connect(MessageBoxes::instance(), &MessageBoxes::aboutToShow, this, [this](QMessageBox *box) {
        texts << box->text();
        // Answer once the box runs its own modal loop.
        QTimer::singleShot(0, box, [box, answer = m_answer] {
            if (QAbstractButton *b = box->button(answer))
                b->click();
            else
                box->reject();
        });
    });
}

QString SaveScreenshot(QWidget *widget, const QString &name)
{
    const QString dir = QStringLiteral(VELMORA_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    widget->grab().save(path);
    return path;
}

QString BinDir()
{
    const QString env = qEnvironmentVariable("VELMORA_BIN_DIR");
    return env.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin") : env;
}

} // namespace velmora::testing
