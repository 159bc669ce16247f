#include "demo.h"

namespace velmora::demo {
void InstallDemoSite(httpd::HttpServer &) {}
}
