#include "app/window/outside_links.h"

#include <glib.h>

#include <optional>

#include "app/window/main_thread.h"

namespace app {
namespace {

constexpr char kOpener[] = "xdg-open";

}  // namespace

TOutsideLinks::~TOutsideLinks() {
  if (watch_ != 0) g_source_remove(watch_);
}

void TOutsideLinks::Open(const std::string& address) {
  auto child = std::make_unique<plat::ChildProcess>(kOpener, std::vector<std::string>{address});
  if (!child->StartError().empty()) {
    terminal_.Write("Cannot open " + TerminalText(address) + " in the default browser: " + child->StartError() + "\n");
    return;
  }
  children_.push_back({address, std::move(child)});
  if (watch_ != 0) return;
  watch_ = g_timeout_add(
      kExitCheckIntervalMs,
      [](gpointer data) -> gboolean {
        auto* self = static_cast<TOutsideLinks*>(data);
        bool more = false;
        CallGuarded([&] { more = self->CheckExits(); });
        if (!more) self->watch_ = 0;
        return more ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
      },
      this);
}

bool TOutsideLinks::CheckExits() {
  std::erase_if(children_, [this](Started& started) {
    const std::optional<plat::ChildEnd> end = started.child->Poll();
    if (!end) return false;
    if (end->kind != plat::ChildEnd::Kind::kExited || end->code != 0)
      terminal_.Write(std::string(kOpener) + " could not open " + TerminalText(started.address) + ".\n");
    return true;
  });
  return !children_.empty();
}

}  // namespace app
