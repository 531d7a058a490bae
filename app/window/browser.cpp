#include "app/window/browser.h"

#include <algorithm>

#include "app/window/address_policy.h"
#include "app/window/browser_hooks.h"
#include "app/window/dialogs.h"
#include "app/window/main_thread.h"

namespace app {
namespace {

constexpr char kPlayerName[] = "Varnel Player";
// The size of a window that content opens without asking for one.
constexpr int kOpenedWidth = 798;
constexpr int kOpenedHeight = 614;

std::string RequestedAddress(WebKitNavigationAction* action) {
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  return uri != nullptr ? uri : "";
}

bool UserAsked(WebKitNavigationAction* action) {
  return webkit_navigation_action_is_user_gesture(action) ||
         webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED;
}

void ShowTitleOf(WebKitWebView* view) {
  GtkWindow* window = ToplevelWindow(GTK_WIDGET(view));
  if (window == nullptr) return;
  const char* title = webkit_web_view_get_title(view);
  gtk_window_set_title(window, title != nullptr && *title != '\0' ? title : kPlayerName);
}

}  // namespace

TBrowser::TBrowser(TTerminal& terminal) : terminal_(terminal), outside_(terminal) {
  // The player's server is the one store: the view keeps nothing on disk
  // and needs no cache or proxy for a server on this machine.
  context_ = webkit_web_context_new_ephemeral();
  webkit_web_context_set_cache_model(context_, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
  webkit_website_data_manager_set_network_proxy_settings(webkit_web_context_get_website_data_manager(context_),
                                                         WEBKIT_NETWORK_PROXY_MODE_NO_PROXY, nullptr);
  ConnectDownloads(context_, terminal_);
  main_view_ = GTK_WIDGET(g_object_ref_sink(webkit_web_view_new_with_context(context_)));
  Attach(WEBKIT_WEB_VIEW(main_view_));
}

TBrowser::~TBrowser() {
  CloseOpenedWindows();
  g_signal_handlers_disconnect_by_data(main_view_, this);
  g_object_unref(main_view_);
  g_object_unref(context_);
}

void TBrowser::ShowServer(uint16_t port) {
  port_ = port;
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(main_view_), PlayerAddress(port).c_str());
}

void TBrowser::CloseOpenedWindows() {
  const std::vector<GtkWidget*> windows = opened_windows_;
  for (GtkWidget* window : windows) gtk_widget_destroy(window);
}

void TBrowser::Attach(WebKitWebView* view) {
  g_signal_connect(view, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view, "create",
                   G_CALLBACK(+[](WebKitWebView* opener, WebKitNavigationAction* action, gpointer self) {
                     GtkWidget* created = nullptr;
                     CallGuarded([&] { created = static_cast<TBrowser*>(self)->CreateOpenedView(opener, action); });
                     return created;
                   }),
                   this);
  g_signal_connect(view, "script-dialog", G_CALLBACK(ShowScriptDialog), nullptr);
  g_signal_connect(view, "context-menu", G_CALLBACK(KeepNavigationAndCopy), nullptr);
}

gboolean TBrowser::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                  gpointer self) {
  bool allowed = true;
  CallGuarded([&] {
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
      // A reply the view cannot show, or one sent as an attachment, is saved.
      if (!IsDownload(WEBKIT_RESPONSE_POLICY_DECISION(decision))) return;
      webkit_policy_decision_download(decision);
      allowed = false;
      return;
    }
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    allowed = static_cast<TBrowser*>(self)->AllowNavigation(RequestedAddress(action), UserAsked(action));
    if (!allowed) webkit_policy_decision_ignore(decision);
  });
  return allowed ? FALSE : TRUE;
}

bool TBrowser::AllowNavigation(const std::string& address, bool user_asked) {
  switch (ClassifyAddress(address, port_)) {
    case TAddressKind::kPlayer:
      return true;
    case TAddressKind::kOutside:
      if (user_asked) outside_.Open(address);
      return false;
    case TAddressKind::kRefused:
      break;
  }
  terminal_.Write("The player does not open " + TerminalText(address) + "\n");
  return false;
}

GtkWidget* TBrowser::CreateOpenedView(WebKitWebView* opener, WebKitNavigationAction* action) {
  if (!AllowNavigation(RequestedAddress(action), UserAsked(action))) return nullptr;
  GtkWidget* view = webkit_web_view_new_with_related_view(opener);
  Attach(WEBKIT_WEB_VIEW(view));
  g_signal_connect(view, "ready-to-show", G_CALLBACK(+[](WebKitWebView* shown, gpointer self) {
                     CallGuarded([&] { static_cast<TBrowser*>(self)->ShowOpenedView(shown); });
                   }),
                   this);
  g_signal_connect(view, "close", G_CALLBACK(+[](WebKitWebView* closed, gpointer self) {
                     CallGuarded([&] { static_cast<TBrowser*>(self)->CloseOpenedView(closed); });
                   }),
                   this);
  g_signal_connect(view, "notify::title",
                   G_CALLBACK(+[](WebKitWebView* titled, GParamSpec*, gpointer) { ShowTitleOf(titled); }), nullptr);
  return view;
}

void TBrowser::ShowOpenedView(WebKitWebView* view) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GdkRectangle asked{0, 0, 0, 0};
  webkit_window_properties_get_geometry(webkit_web_view_get_window_properties(view), &asked);
  gtk_window_set_default_size(GTK_WINDOW(window), asked.width > 0 ? asked.width : kOpenedWidth,
                              asked.height > 0 ? asked.height : kOpenedHeight);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
  ShowTitleOf(view);
  opened_windows_.push_back(window);
  g_signal_connect(window, "destroy", G_CALLBACK(+[](GtkWidget* gone, gpointer self) {
                     std::erase(static_cast<TBrowser*>(self)->opened_windows_, gone);
                   }),
                   this);
  gtk_widget_show_all(window);
}

void TBrowser::CloseOpenedView(WebKitWebView* view) {
  if (GtkWindow* window = ToplevelWindow(GTK_WIDGET(view))) gtk_widget_destroy(GTK_WIDGET(window));
}

}  // namespace app
