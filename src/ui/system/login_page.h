#pragma once

#include "core/app/app_state.h"
#include "core/app/settings_store.h"
#include "core/system/login_session.h"
#include "ui/app/sub_dialog.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace chimeon {

// The login page: switches the password on and off, logs in and out, changes the password.
class CLoginPage : public CSubDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 159;

    CLoginPage(AppState& state, SettingsStore& settings, QWidget* parent = nullptr);

    // "登陆" (or Enter in the password entry) and "退出".
    void OnOK() override;
    void OnCancel() override;
    void OnUsePasswordChanged(bool checked);
    void OnChangePassword();

    // The controls, for the main window's tests and later pages' tests.
    QPlainTextEdit* infoText() const { return m_info; }
    QCheckBox* usePasswordCheck() const { return m_usePasswordCheck; }
    QLineEdit* stateText() const { return m_stateText; }
    QLineEdit* enteredPassword() const { return m_enteredPassword; }
    QPushButton* loginButton() const { return m_loginButton; }
    QPushButton* logoutButton() const { return m_logoutButton; }
    QLineEdit* newPassword() const { return m_newPassword; }
    QLineEdit* confirmPassword() const { return m_confirmPassword; }
    QPushButton* changeButton() const { return m_changeButton; }

protected:
    void OnInitDialog() override;

private:
    // Shows the session's view: check box, enabled controls, state field.
    void ShowView();
    void Finish(const std::string& message, bool userStateMayHaveChanged);

    AppState& m_state;
    LoginSession m_session;
    QPlainTextEdit* m_info = nullptr;
    QCheckBox* m_usePasswordCheck = nullptr;
    QLineEdit* m_stateText = nullptr;
    QLineEdit* m_enteredPassword = nullptr;
    QPushButton* m_loginButton = nullptr;
    QPushButton* m_logoutButton = nullptr;
    QLineEdit* m_newPassword = nullptr;
    QLineEdit* m_confirmPassword = nullptr;
    QPushButton* m_changeButton = nullptr;
};

}  // namespace chimeon
