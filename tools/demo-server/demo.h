#pragma once
#include "httpserver.h"

namespace velmora::demo {
// The demo catalogue: both lists under /quillon/, the pages they name and the
// files those pages link to.
void InstallDemoSite(httpd::HttpServer &server);
// The demo music search service: "/m?...&word=...".
void InstallDemoSearch(httpd::HttpServer &server);
}
