// Saving what the view cannot show.
#include <optional>
#include <string>

#include "app/window/browser_hooks.h"
#include "app/window/dialogs.h"
#include "app/window/main_thread.h"

namespace app {
namespace {

GtkWindow* WindowOf(WebKitDownload* download) {
  WebKitWebView* view = webkit_download_get_web_view(download);
  return view != nullptr ? ToplevelWindow(GTK_WIDGET(view)) : nullptr;
}

// Asks for the file; the download waits until the answer sets its
// destination or cancels it.
gboolean DecideDestination(WebKitDownload* download, const gchar* suggested_name, gpointer) {
  g_object_ref(download);
  CallGuarded([&] {
    ChooseSaveFile(WindowOf(download), suggested_name != nullptr ? suggested_name : "",
                   [download](std::optional<std::string> file) {
                     gchar* uri = file ? g_filename_to_uri(file->c_str(), nullptr, nullptr) : nullptr;
                     if (uri != nullptr) {
                       // The dialog has asked before replacing a file.
                       webkit_download_set_allow_overwrite(download, TRUE);
                       webkit_download_set_destination(download, uri);
                       g_free(uri);
                     } else {
                       webkit_download_cancel(download);
                     }
                     g_object_unref(download);
                   });
  });
  return TRUE;
}

void OnFailed(WebKitDownload* download, GError* error, gpointer terminal) {
  if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER)) return;
  CallGuarded([&] {
    const std::string text = std::string("The file could not be saved: ") + error->message;
    static_cast<TTerminal*>(terminal)->Write(text + "\n");
    ShowError(WindowOf(download), text);
  });
}

}  // namespace

bool IsDownload(WebKitResponsePolicyDecision* decision) {
  if (!webkit_response_policy_decision_is_mime_type_supported(decision)) return true;
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  char* disposition = nullptr;
  if (headers == nullptr || !soup_message_headers_get_content_disposition(headers, &disposition, nullptr)) return false;
  const bool attachment = g_ascii_strcasecmp(disposition, "attachment") == 0;
  g_free(disposition);
  return attachment;
}

void ConnectDownloads(WebKitWebContext* context, TTerminal& terminal) {
  g_signal_connect(context, "download-started", G_CALLBACK(+[](WebKitWebContext*, WebKitDownload* download,
                                                                gpointer terminal_data) {
                     g_signal_connect(download, "decide-destination", G_CALLBACK(DecideDestination), nullptr);
                     g_signal_connect(download, "failed", G_CALLBACK(OnFailed), terminal_data);
                   }),
                   &terminal);
}

}  // namespace app
