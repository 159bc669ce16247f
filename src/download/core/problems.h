// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The problems a download can meet and the answers the problem dialogs give.
// The program opens the dialogs; a test or a headless tool answers from a script.
#include "net/failure.h"

#include <QString>
#include <QtGlobal>

namespace velmora {

// Each problem the engine can raise. The two file-dialog problems have their
// own dialog; all others go to the general one.
enum class Problem {
    FileExists,        // "文件已存在"
    ConnectionReset,   // "服务器连接重置"
    InvalidAddress,    // "无效的地址"
    CannotResolve,     // "无法解析域名"
    CannotConnect,     // "无法建立连接"
    BadAnswer,         // "无效服务器响应"
    ZeroLength,        // "文件长度为零"
    EmptyContent,      // "内容为空"
    NoPermission,      // "无法获得权限"
    FileNotFound,      // "文件不存在"
    DiskFull,          // "磁盘空间不足"
    CannotResume,      // "无法续传"
    ResumeRefused,     // "服务器不支持续传"
    Incomplete,        // "下载未完成"
    CannotOpenFile,    // "无法打开文件"
    CertificateUntrusted,  // "证书不受信任": self-signed or of an unknown authority
    CertificateExpired,    // "证书不在有效期内"
    CertificateWrongName,  // "证书与域名不符"
    CertificateInvalid,    // "证书无效": refused for another reason
    Downgrade,         // "拒绝从 https 转向 http": a redirect that would drop the encryption
    ProxyRefusedCredentials,  // "代理服务器拒绝了用户名或密码"
    NoSecureConnection,       // "无法建立安全连接": no TLS version or cipher both sides accept
    Unexpected,        // an error that carries its own description
};

// The title the dialogs show for a problem ("" for Unexpected).
QString ProblemText(Problem problem);

// The problem a failure of the network layer is shown as: certificate
// problems, a refused downgrade, refused proxy credentials and TLS that
// could not be agreed by name, anything else as `otherwise`.
Problem ProblemOfNet(net::NetFailure failure, net::CertificateProblem certificate, Problem otherwise);

// The problem a failed request of the transfer (the length or the range
// request) is shown as: what went wrong on the way, never a property of
// the file. A name that does not resolve, an answer that is none, and
// otherwise a connection that could not be made or held.
Problem ProblemOfFailedRequest(net::NetFailure failure, net::CertificateProblem certificate);

// One problem as the general dialog shows it.
struct DownloadProblem
{
    DownloadProblem(Problem p) : kind(p) {}  // NOLINT: a plain problem reads as one
    static DownloadProblem Unexpected(const QString &text);

    QString title() const { return kind == Problem::Unexpected ? description : ProblemText(kind); }

    Problem kind;
    QString description;  // the text of an unexpected error
};

// Answers of the file dialog, with the dialog's own codes. Its second choice
// means "download again" when the file exists but "give up" after a reset.
enum class FileAlertAnswer : qint16 {
    None = 0,              // closed without an answer
    Resume = 1,            // "续传已存在的文件. (建议采用)"
    DownloadAgain = 2,     // "重新下载已存在的文件." (file exists)
    IgnoreAfterReset = 2,  // "忽略此问题." (connection reset)
    Ignore = 3,            // "忽略此问题." (file exists)
};

// Answers of the general dialog, with its own codes.
enum class AlertAnswer : qint16 {
    None = 0,            // closed by its close box
    Ignore = 1,          // "忽略此问题. (建议采用)": go on, or try again
    CancelDownload = 2,  // "取消下载任务."
};

class IProblemAnswerer
{
public:
    virtual ~IProblemAnswerer() = default;
    // "文件已存在" (blnReset false) or "服务器连接重置" (true); strFile is the local path.
    virtual FileAlertAnswer ShowFileAlert(const QString &strFile, bool blnReset) = 0;
    // Any other problem; the cancel choice only when blnOfferCancel.
    virtual AlertAnswer ShowAlert(const DownloadProblem &problem, const QString &strFile, bool blnOfferCancel) = 0;
};

} // namespace velmora
