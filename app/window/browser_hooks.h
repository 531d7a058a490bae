// What a web view asks of the browser around it: where to save a file,
// how to show a script's dialog, which context menu to offer.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "app/terminal.h"

namespace app {

// A reply the view cannot show, or one sent as an attachment (the
// statistics' CSV texts): it is to be saved, not shown.
bool IsDownload(WebKitResponsePolicyDecision* decision);

// Every download of the context asks for its file in a save dialog over the
// window that started it; cancelling the dialog cancels the download, and a
// failed download is reported in an error message. The terminal must outlive
// the context.
void ConnectDownloads(WebKitWebContext* context, TTerminal& terminal);

// The "script-dialog" handler: alert and confirm (also the one before
// leaving a page) as GTK message boxes over the view's window; prompts keep
// the view's own.
gboolean ShowScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer);

// The "context-menu" handler: keeps the navigation and copy items only, and
// shows no menu when none is left.
gboolean KeepNavigationAndCopy(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                               gpointer);

}  // namespace app
