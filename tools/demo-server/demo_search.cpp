#include "demo.h"

namespace velmora::demo {
void InstallDemoSearch(httpd::HttpServer &) {}
}
