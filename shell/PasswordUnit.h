#pragma once
// The calibration password dialog (TPasswordForm, rendered by the program) and the password.
#include <string>

// Texts of the dialog.
namespace PasswordForm {
inline constexpr const char* Caption = "Введите пароль";
inline constexpr const char* lbPassword = "Пароль для доступа к калибровке:";
inline constexpr const char* btOK = "OK";
inline constexpr const char* btCancel = "Отмена";
inline constexpr char PasswordChar = '*';
}  // namespace PasswordForm

// The calibration password: one character, held among the program's resource strings.
std::string CalibrationPassword();
