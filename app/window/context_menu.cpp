// The context menu of the views: what a learner needs, nothing that leaves the player.
#include "app/window/browser_hooks.h"

namespace app {
namespace {

bool IsKept(WebKitContextMenuAction action) {
  switch (action) {
    case WEBKIT_CONTEXT_MENU_ACTION_GO_BACK:
    case WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD:
    case WEBKIT_CONTEXT_MENU_ACTION_STOP:
    case WEBKIT_CONTEXT_MENU_ACTION_RELOAD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_LINK_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_URL_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_VIDEO_LINK_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_AUDIO_LINK_TO_CLIPBOARD:
      return true;
    default:
      return false;
  }
}

}  // namespace

gboolean KeepNavigationAndCopy(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*, gpointer) {
  // Walks a copy: removing an item changes the menu's own list.
  GList* items = g_list_copy(webkit_context_menu_get_items(menu));
  bool separator_allowed = false;
  for (GList* at = items; at != nullptr; at = at->next) {
    auto* item = static_cast<WebKitContextMenuItem*>(at->data);
    const bool separator = webkit_context_menu_item_is_separator(item);
    const bool keep = separator ? separator_allowed : IsKept(webkit_context_menu_item_get_stock_action(item));
    if (!keep) webkit_context_menu_remove(menu, item);
    // A separator only between kept items, never two in a row.
    separator_allowed = keep && !separator;
  }
  g_list_free(items);
  GList* last = g_list_last(webkit_context_menu_get_items(menu));
  if (last != nullptr && webkit_context_menu_item_is_separator(static_cast<WebKitContextMenuItem*>(last->data)))
    webkit_context_menu_remove(menu, static_cast<WebKitContextMenuItem*>(last->data));
  return webkit_context_menu_get_n_items(menu) == 0 ? TRUE : FALSE;
}

}  // namespace app
