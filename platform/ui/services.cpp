#include "platform/ui/services.h"

#include <cassert>

namespace ui {
namespace {
Services* g_services = nullptr;
std::string g_title = "Pelmora";
}  // namespace

Services& Current() {
  assert(g_services && "ui::SetCurrent must run at start-up");
  return *g_services;
}

void SetCurrent(Services* services) { g_services = services; }
const std::string& ApplicationTitle() { return g_title; }
void SetApplicationTitle(std::string title) { g_title = std::move(title); }

}  // namespace ui
