// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "common/core/settings.h"

#include <QDialog>

class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace velmora {

// "服务器设置": the catalogue server and the music search service, kept in
// the user's settings. An empty field means the built-in default. OK checks
// both fields and writes them; a field that is no server keeps the dialog
// open with a message. Where an environment variable overrides a setting,
// the dialog says so under the field.
class frmSettings : public QDialog
{
    Q_OBJECT
public:
    explicit frmSettings(QWidget *parent = nullptr);

private:
    struct ServerField
    {
        Server server;
        QLineEdit *edit = nullptr;
        QLabel *overridden = nullptr;  // shown when the environment wins
    };

    ServerField AddServerField(QFormLayout &form, Server server, const QString &caption, const QString &name);
    void cmdOK_Click();
    // The field's server in tidy form ("" for the default); nothing when it is no server.
    std::optional<QString> CheckField(const ServerField &field);

    ServerField m_catalogue;
    ServerField m_search;
    QSpinBox *m_connections = nullptr;
    QSpinBox *m_rateLimit = nullptr;  // KiB per second; 0 = no limit
};

} // namespace velmora
