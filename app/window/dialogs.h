// The player's dialogs: message boxes and the file dialogs. Every dialog is
// modal to its parent but never blocks: the answer arrives in a callback on
// the main loop, so no nested loop runs inside another handler.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <optional>
#include <string>

namespace app {

// The window that holds the widget; nullptr when it is in none.
GtkWindow* ToplevelWindow(GtkWidget* widget);

// Shows the dialog; on_response gets its response id once, then the dialog is
// destroyed (closing it by the window frame gives GTK_RESPONSE_DELETE_EVENT).
void ShowDialog(GtkWidget* dialog, std::function<void(int response)> on_response);

// A modal message box with the caption and the text (both UTF-8).
GtkWidget* NewMessageBox(GtkWindow* parent, GtkMessageType type, GtkButtonsType buttons, const std::string& caption,
                         const std::string& text);

// A question with the buttons Yes (the default) and No.
void AskYesNo(GtkWindow* parent, const std::string& caption, const std::string& question,
              std::function<void(bool yes)> answered);

// An error message captioned "Error"; closed is called when it is dismissed.
void ShowError(GtkWindow* parent, const std::string& text, std::function<void()> closed = {});

// The open dialog for content packages, showing initial_folder when that
// exists. chosen gets the file, or nullopt when the user cancelled.
void ChoosePackage(GtkWindow* parent, const std::string& initial_folder,
                   std::function<void(std::optional<std::string> file)> chosen);

// The save dialog, proposing suggested_name; asks before replacing a file.
void ChooseSaveFile(GtkWindow* parent, const std::string& suggested_name,
                    std::function<void(std::optional<std::string> file)> chosen);

}  // namespace app
