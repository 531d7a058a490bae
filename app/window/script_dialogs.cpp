// A script's alert and confirm as the desktop's message boxes.
#include <string>

#include "app/window/browser_hooks.h"
#include "app/window/dialogs.h"
#include "app/window/main_thread.h"

namespace app {
namespace {

constexpr char kCaption[] = "Varnel Player";

}  // namespace

gboolean ShowScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer) {
  const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
  const bool confirm = type == WEBKIT_SCRIPT_DIALOG_CONFIRM || type == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM;
  if (type != WEBKIT_SCRIPT_DIALOG_ALERT && !confirm) return FALSE;
  CallGuarded([&] {
    GtkWidget* box = NewMessageBox(ToplevelWindow(GTK_WIDGET(view)), confirm ? GTK_MESSAGE_QUESTION : GTK_MESSAGE_INFO,
                                   confirm ? GTK_BUTTONS_OK_CANCEL : GTK_BUTTONS_OK, kCaption,
                                   webkit_script_dialog_get_message(dialog));
    // The script waits until the box is answered.
    webkit_script_dialog_ref(dialog);
    ShowDialog(box, [dialog, confirm](int response) {
      if (confirm) webkit_script_dialog_confirm_set_confirmed(dialog, response == GTK_RESPONSE_OK);
      webkit_script_dialog_close(dialog);
      webkit_script_dialog_unref(dialog);
    });
  });
  return TRUE;
}

}  // namespace app
