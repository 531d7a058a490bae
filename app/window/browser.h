// The embedded browser: the main web view, the windows that content opens
// from it, and the rules every view follows. It shows the player's own
// server only; addresses elsewhere go to the default browser.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/terminal.h"
#include "app/window/outside_links.h"

namespace app {

class TBrowser {
 public:
  // The terminal must outlive the browser.
  explicit TBrowser(TTerminal& terminal);
  // Closes the windows that content opened.
  ~TBrowser();
  TBrowser(const TBrowser&) = delete;
  TBrowser& operator=(const TBrowser&) = delete;

  // The main view, to be placed in the main window.
  GtkWidget* MainView() const { return main_view_; }
  // Shows the player's server at port in the main view; from now on that
  // server is the one the views show.
  void ShowServer(uint16_t port);
  // Closes every window that content opened.
  void CloseOpenedWindows();

 private:
  // Connects the rules to a view: the main one or one that content opened.
  void Attach(WebKitWebView* view);
  // Whether the view may go to the address; an address outside the player
  // is handed to the default browser when the user asked for it.
  bool AllowNavigation(const std::string& address, bool user_asked);
  GtkWidget* CreateOpenedView(WebKitWebView* opener, WebKitNavigationAction* action);
  void ShowOpenedView(WebKitWebView* view);
  void CloseOpenedView(WebKitWebView* view);

  static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer self);

  TTerminal& terminal_;
  TOutsideLinks outside_;
  WebKitWebContext* context_ = nullptr;
  GtkWidget* main_view_ = nullptr;
  uint16_t port_ = 0;
  // The toplevel windows of views that content opened.
  std::vector<GtkWidget*> opened_windows_;
};

}  // namespace app
