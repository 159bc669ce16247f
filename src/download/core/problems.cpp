// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/problems.h"

namespace velmora {

QString ProblemText(Problem problem)
{
    switch (problem) {
    case Problem::FileExists: return QStringLiteral("文件已存在");
    case Problem::ConnectionReset: return QStringLiteral("服务器连接重置");
    case Problem::InvalidAddress: return QStringLiteral("无效的地址");
    case Problem::CannotResolve: return QStringLiteral("无法解析域名");
    case Problem::CannotConnect: return QStringLiteral("无法建立连接");
    case Problem::BadAnswer: return QStringLiteral("无效服务器响应");
    case Problem::ZeroLength: return QStringLiteral("文件长度为零");
    case Problem::EmptyContent: return QStringLiteral("内容为空");
    case Problem::NoPermission: return QStringLiteral("无法获得权限");
    case Problem::FileNotFound: return QStringLiteral("文件不存在");
    case Problem::DiskFull: return QStringLiteral("磁盘空间不足");
    case Problem::CannotResume: return QStringLiteral("无法续传");
    case Problem::ResumeRefused: return QStringLiteral("服务器不支持续传");
    case Problem::Incomplete: return QStringLiteral("下载未完成");
    case Problem::CannotOpenFile: return QStringLiteral("无法打开文件");
    case Problem::CertificateUntrusted: return QStringLiteral("证书不受信任");
    case Problem::CertificateExpired: return QStringLiteral("证书不在有效期内");
    case Problem::CertificateWrongName: return QStringLiteral("证书与域名不符");
    case Problem::CertificateInvalid: return QStringLiteral("证书无效");
    case Problem::Downgrade: return QStringLiteral("拒绝从 https 转向 http");
    case Problem::ProxyRefusedCredentials: return QStringLiteral("代理服务器拒绝了用户名或密码");
    case Problem::NoSecureConnection: return QStringLiteral("无法建立安全连接");
    case Problem::Unexpected: break;
    }
    return QString();
}

Problem ProblemOfNet(net::NetFailure failure, net::CertificateProblem certificate, Problem otherwise)
{
    using net::CertificateProblem;
    switch (failure) {
    case net::NetFailure::Downgrade: return Problem::Downgrade;
    case net::NetFailure::ProxyCredentials: return Problem::ProxyRefusedCredentials;
    case net::NetFailure::NoSecureConnection: return Problem::NoSecureConnection;
    case net::NetFailure::Certificate: break;
    default: return otherwise;
    }
    switch (certificate) {
    case CertificateProblem::Untrusted: return Problem::CertificateUntrusted;
    case CertificateProblem::Expired: return Problem::CertificateExpired;
    case CertificateProblem::WrongName: return Problem::CertificateWrongName;
    default: return Problem::CertificateInvalid;
    }
}

Problem ProblemOfFailedRequest(net::NetFailure failure, net::CertificateProblem certificate)
{
    switch (failure) {
    case net::NetFailure::CannotResolve: return Problem::CannotResolve;
    case net::NetFailure::BadAnswer: return Problem::BadAnswer;
    default: return ProblemOfNet(failure, certificate, Problem::CannotConnect);
    }
}

DownloadProblem DownloadProblem::Unexpected(const QString &text)
{
    DownloadProblem p(Problem::Unexpected);
    p.description = text;
    return p;
}

} // namespace velmora
