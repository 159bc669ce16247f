#pragma once
// Helpers shared by the test programs.
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QWidget;

namespace velmora::testing {

// sha256 of a file's bytes as lowercase hex ("" when it cannot be read).
QByteArray Sha256OfFile(const QString &path);
QByteArray Sha256(const QByteArray &data);

// While it lives, answers every message box of the program with `answer`
// as soon as the box is shown, and records the texts of the boxes.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);
    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    QStringList texts;

private:
    QMessageBox::StandardButton m_answer;
};

// Saves a grab of the widget as <build>/screenshots/<name>.png; returns the path.
QString SaveScreenshot(QWidget *widget, const QString &name);

// Folder holding the built executables (velmora-fetch, velmora-scan, ...).
QString BinDir();

// Runs fn on the next modal widget of type T that shows up, from inside its
// modal loop; the watch lives as long as context.
template<typename T>
void WhenModal(QObject *context, const std::function<void(T *)> &fn)
{
    auto *timer = new QTimer(context);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fn] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            fn(w);
        }
    });
    timer->start();
}

} // namespace velmora::testing
