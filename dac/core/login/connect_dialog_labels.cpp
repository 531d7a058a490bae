// The connect dialog's texts in its eight languages.
#include <array>
#include <string>

#include "dac/core/login/connect_dialog.h"

namespace dac {

namespace {

struct LabelRow {
  int base;
  std::array<const char*, 6> texts;
};

// UTF-8, none longer than the 49 characters a dialog shows; the Polish and
// Spanish texts are kept as they were shipped.
constexpr LabelRow kLabels[] = {
    {100, {"Connect", "User Name", "Password", "Server", "Connect", "Cancel"}},
    {200, {"Ouverture de session", "Nom utilisateur", "Mot de passe", "Serveur", "Ok", "Annuler"}},
    {300, {"Anmeldung", "Benutzername", "Kennwort", "Host-Zeichenfolge", "Ok", "Abbrechen"}},
    {400, {"Connessione", "Nome Utente", "Parola d'ordine", "Stringa Conn.Host", "Ok", "Elimina"}},
    {500, {"Rejestracja", "Uiytkowhik", "Hasio", "Opis hosta", "Ok", "Anuluj"}},
    {600, {"Iniciar Sessão", "Nome do Usuário", "Senha", "Servidor", "Ok", "Cancelar"}},
    {0, {"Соединение", "Имя", "Пароль", "Сервер", "Соединить", "Отмена"}},
    {700, {"Conectar", "Usuario", "Clave", "Cadena Conexiyn", "Ok", "Cancelar"}},
};

}  // namespace

std::string LoadLabelText(int identifier) {
  if (identifier < 0) return "";
  const int base = identifier - identifier % 100;
  const auto index = static_cast<size_t>(identifier % 100);
  for (const LabelRow& row : kLabels)
    if (row.base == base && index < row.texts.size()) return row.texts[index];
  return "";
}

}  // namespace dac
