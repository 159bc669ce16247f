// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/ui/frmsettings.h"

#include "common/ui/msgbox.h"
#include "common/ui/uifont.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace velmora {

frmSettings::frmSettings(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("服务器设置"));
    setModal(true);
    setFont(UiFont(9));

    auto *intro = new QLabel(QStringLiteral("Velmora 从目录服务器加载动画和曲目列表, 通过搜索服务器搜索音乐. "
                                            "请输入 主机 或 主机:端口; 留空则使用默认的 %1.")
                                 .arg(kDefaultServer),
                             this);
    intro->setObjectName(QStringLiteral("lblIntro"));
    intro->setWordWrap(true);

    auto *form = new QFormLayout;
    m_catalogue = AddServerField(*form, Server::Catalogue, QStringLiteral("目录服务器(&C):"),
                                 QStringLiteral("txtCatalogueServer"));
    m_search = AddServerField(*form, Server::Search, QStringLiteral("搜索服务器(&S):"),
                              QStringLiteral("txtSearchServer"));

    // How much of a server one download may take.
    const DownloadLimits limits = StoredDownloadLimits();
    m_connections = new QSpinBox(this);
    m_connections->setObjectName(QStringLiteral("spnConnections"));
    m_connections->setRange(1, kMaxDownloadConnections);
    m_connections->setValue(limits.connections);
    form->addRow(QStringLiteral("每个下载的连接数(&N):"), m_connections);
    m_rateLimit = new QSpinBox(this);
    m_rateLimit->setObjectName(QStringLiteral("spnRateLimit"));
    m_rateLimit->setRange(0, 1024 * 1024);
    m_rateLimit->setSuffix(QStringLiteral(" KiB/s"));
    m_rateLimit->setSpecialValueText(QStringLiteral("不限"));
    m_rateLimit->setValue(int(std::min<qint64>(limits.bytesPerSecond / 1024, 1024 * 1024)));
    form->addRow(QStringLiteral("限速(&L):"), m_rateLimit);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &frmSettings::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(420);
    m_catalogue.edit->setFocus();
}

// A labelled field for the server, with the note under it that tells when
// the environment overrides it.
frmSettings::ServerField frmSettings::AddServerField(QFormLayout &form, Server server, const QString &caption,
                                                     const QString &name)
{
    ServerField field{server};
    field.edit = new QLineEdit(StoredServer(server), this);
    field.edit->setObjectName(name);
    field.edit->setPlaceholderText(kDefaultServer);
    field.overridden = new QLabel(this);
    field.overridden->setObjectName(name + QStringLiteral("Overridden"));
    field.overridden->setWordWrap(true);
    const QString fromEnvironment = ServerFromEnvironment(server);
    field.overridden->setText(QStringLiteral("环境变量 %1 已设置, 本次运行使用 %2.")
                                  .arg(ServerVariable(server), fromEnvironment));
    field.overridden->setVisible(!fromEnvironment.isEmpty());
    form.addRow(caption, field.edit);  // the label becomes the field's buddy: Alt+C / Alt+S
    form.addRow(QString(), field.overridden);
    return field;
}

std::optional<QString> frmSettings::CheckField(const ServerField &field)
{
    const QString typed = field.edit->text().trimmed();
    if (typed.isEmpty())
        return QString();
    const std::optional<QString> server = CheckServer(typed);
    if (!server) {
        ShowMessage(this, QMessageBox::Information,
                    QStringLiteral("\"%1\" 不是有效的服务器地址. 请输入 主机 或 主机:端口, 例如 example.org:8080.")
                        .arg(typed));
        field.edit->setFocus();
        field.edit->selectAll();
    }
    return server;
}

void frmSettings::cmdOK_Click()
{
    const std::optional<QString> catalogue = CheckField(m_catalogue);
    if (!catalogue)
        return;
    const std::optional<QString> search = CheckField(m_search);
    if (!search)
        return;
    if (StoreServer(Server::Catalogue, *catalogue) != StoreResult::Stored
        || StoreServer(Server::Search, *search) != StoreResult::Stored
        || StoreDownloadLimits({m_connections->value(), qint64(m_rateLimit->value()) * 1024}) != StoreResult::Stored) {
        ShowMessage(this, QMessageBox::Critical, QStringLiteral("无法保存设置到 %1.").arg(SettingsFile()));
        return;
    }
    accept();
}

} // namespace velmora
