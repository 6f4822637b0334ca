#include "scenario/interp/adv_services.h"

namespace {
AdvServices g_default;
AdvServices* g_services = &g_default;
}  // namespace

AdvServices& AdvSvc() { return *g_services; }
void SetAdvServices(AdvServices* services) { g_services = services ? services : &g_default; }
