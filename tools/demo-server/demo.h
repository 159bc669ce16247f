// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include "httpserver.h"

namespace velmora::demo {
// The demo catalogue: both lists under /quillon/, the pages they name and the
// files those pages link to.
void InstallDemoSite(httpd::HttpServer &server);
// The demo music search service: "/m?...&word=...".
void InstallDemoSearch(httpd::HttpServer &server);
}
