#include "app/window/dialogs.h"

#include <memory>
#include <utility>

#include "app/window/main_thread.h"

namespace app {
namespace {

using ResponseHandler = std::function<void(int response)>;

void OnResponse(GtkDialog* dialog, gint response, gpointer data) {
  // Taken out first: destroying the dialog frees the handler's holder. The
  // handler may still read the dialog, and may destroy its parent with it.
  ResponseHandler handler = std::move(*static_cast<ResponseHandler*>(data));
  g_object_ref(dialog);
  if (handler) CallGuarded([&] { handler(response); });
  gtk_widget_destroy(GTK_WIDGET(dialog));
  g_object_unref(dialog);
}

// The chosen file of a file dialog that was accepted; nullopt otherwise.
std::optional<std::string> ChosenFile(GtkWidget* dialog, int response) {
  if (response != GTK_RESPONSE_ACCEPT) return std::nullopt;
  gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
  if (name == nullptr) return std::nullopt;
  std::string file = name;
  g_free(name);
  return file;
}

GtkWidget* NewFileDialog(GtkWindow* parent, const char* title, GtkFileChooserAction action, const char* accept) {
  return gtk_file_chooser_dialog_new(title, parent, action, "_Cancel", GTK_RESPONSE_CANCEL, accept,
                                     GTK_RESPONSE_ACCEPT, nullptr);
}

void ShowFileDialog(GtkWidget* dialog, std::function<void(std::optional<std::string>)> chosen) {
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  ShowDialog(dialog, [dialog, chosen = std::move(chosen)](int response) { chosen(ChosenFile(dialog, response)); });
}

}  // namespace

GtkWindow* ToplevelWindow(GtkWidget* widget) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  return gtk_widget_is_toplevel(top) ? GTK_WINDOW(top) : nullptr;
}

void ShowDialog(GtkWidget* dialog, std::function<void(int response)> on_response) {
  auto* held = new ResponseHandler(std::move(on_response));
  g_signal_connect_data(dialog, "response", G_CALLBACK(OnResponse), held,
                        [](gpointer data, GClosure*) { delete static_cast<ResponseHandler*>(data); },
                        GConnectFlags(0));
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_widget_show_all(dialog);
  gtk_window_present(GTK_WINDOW(dialog));
}

GtkWidget* NewMessageBox(GtkWindow* parent, GtkMessageType type, GtkButtonsType buttons, const std::string& caption,
                         const std::string& text) {
  const auto flags = GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT);
  GtkWidget* box = gtk_message_dialog_new(parent, flags, type, buttons, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
  return box;
}

void AskYesNo(GtkWindow* parent, const std::string& caption, const std::string& question,
              std::function<void(bool yes)> answered) {
  GtkWidget* box = NewMessageBox(parent, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, caption, question);
  gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_YES);
  ShowDialog(box, [answered = std::move(answered)](int response) { answered(response == GTK_RESPONSE_YES); });
}

void ShowError(GtkWindow* parent, const std::string& text, std::function<void()> closed) {
  GtkWidget* box = NewMessageBox(parent, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "Error", text);
  ShowDialog(box, [closed = std::move(closed)](int) {
    if (closed) closed();
  });
}

void ChoosePackage(GtkWindow* parent, const std::string& initial_folder,
                   std::function<void(std::optional<std::string> file)> chosen) {
  GtkWidget* dialog = NewFileDialog(parent, "Open", GTK_FILE_CHOOSER_ACTION_OPEN, "_Open");
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, "Varnel files (*.vrn)");
  // Packages come from Windows, where the extension's case does not count.
  gtk_file_filter_add_pattern(filter, "*.[vV][rR][nN]");
  gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter);
  if (!initial_folder.empty()) gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), initial_folder.c_str());
  ShowFileDialog(dialog, std::move(chosen));
}

void ChooseSaveFile(GtkWindow* parent, const std::string& suggested_name,
                    std::function<void(std::optional<std::string> file)> chosen) {
  GtkWidget* dialog = NewFileDialog(parent, "Save File", GTK_FILE_CHOOSER_ACTION_SAVE, "_Save");
  gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
  gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), suggested_name.c_str());
  ShowFileDialog(dialog, std::move(chosen));
}

}  // namespace app
