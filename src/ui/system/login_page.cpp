#include "ui/system/login_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/app/check_controls.h"
#include "ui/app/message_box.h"
#include "ui/app/qt_text.h"

namespace chimeon {

namespace {}  // namespace

CLoginPage::CLoginPage(AppState& state, SettingsStore& settings, QWidget* parent)
    : CSubDialog(kTemplateId, parent), m_state(state), m_session(state, settings) {}

void CLoginPage::OnInitDialog() {
    setObjectName(QStringLiteral("loginPage"));
    m_info = new QPlainTextEdit(this);
    m_info->setObjectName(QStringLiteral("loginInfo"));
    m_info->setReadOnly(true);
    m_usePasswordCheck = new QCheckBox(QStringLiteral("使用登陆密码"), this);
    m_stateText = new QLineEdit(this);
    m_stateText->setReadOnly(true);
    m_enteredPassword = new QLineEdit(this);
    m_enteredPassword->setEchoMode(QLineEdit::Password);
    m_loginButton = new QPushButton(QStringLiteral("登陆"), this);
    m_logoutButton = new QPushButton(QStringLiteral("退出"), this);
    m_newPassword = new QLineEdit(this);
    m_newPassword->setEchoMode(QLineEdit::Password);
    m_confirmPassword = new QLineEdit(this);
    m_confirmPassword->setEchoMode(QLineEdit::Password);
    m_changeButton = new QPushButton(QStringLiteral("修改"), this);

    auto* stateBox = new QGroupBox(QStringLiteral("用户状态"), this);
    auto* stateForm = new QFormLayout;
    stateForm->addRow(QStringLiteral("当前用户状态："), m_stateText);
    stateForm->addRow(QStringLiteral("请输入密码："), m_enteredPassword);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_loginButton);
    buttons->addWidget(m_logoutButton);
    auto* stateLayout = new QVBoxLayout(stateBox);
    stateLayout->addLayout(stateForm);
    stateLayout->addLayout(buttons);

    auto* changeBox = new QGroupBox(QStringLiteral("修改密码"), this);
    auto* changeForm = new QFormLayout;
    changeForm->addRow(QStringLiteral("新密码："), m_newPassword);
    changeForm->addRow(QStringLiteral("确认新密码："), m_confirmPassword);
    auto* changeButtons = new QHBoxLayout;
    changeButtons->addStretch();
    changeButtons->addWidget(m_changeButton);
    auto* changeLayout = new QVBoxLayout(changeBox);
    changeLayout->addLayout(changeForm);
    changeLayout->addLayout(changeButtons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_info, 1);
    layout->addWidget(m_usePasswordCheck);
    layout->addWidget(stateBox);
    layout->addWidget(changeBox);

    OnToggled(m_usePasswordCheck, this, &CLoginPage::OnUsePasswordChanged);
    connect(m_loginButton, &QPushButton::clicked, this, &CLoginPage::OnOK);
    connect(m_enteredPassword, &QLineEdit::returnPressed, this, &CLoginPage::OnOK);
    connect(m_logoutButton, &QPushButton::clicked, this, &CLoginPage::OnCancel);
    connect(m_changeButton, &QPushButton::clicked, this, &CLoginPage::OnChangePassword);

    m_info->setPlainText(Utf8(login_text::kInfo));
    m_session.Init();
    ShowView();
}

void CLoginPage::ShowView() {
    const LoginView& view = m_session.view();
    SetCheckedQuietly(m_usePasswordCheck, view.usePasswordChecked);
    for (QWidget* control :
         {static_cast<QWidget*>(m_enteredPassword), static_cast<QWidget*>(m_loginButton),
          static_cast<QWidget*>(m_logoutButton), static_cast<QWidget*>(m_newPassword),
          static_cast<QWidget*>(m_confirmPassword), static_cast<QWidget*>(m_changeButton)}) {
        control->setEnabled(view.controlsEnabled);
    }
    m_stateText->setText(Utf8(view.stateText));
}

void CLoginPage::Finish(const std::string& message, bool userStateMayHaveChanged) {
    ShowView();
    if (!message.empty()) {
        ShowMessage(this, Utf8(message));
    }
    if (userStateMayHaveChanged) {
        emit userStateChanged();
    }
}

void CLoginPage::OnUsePasswordChanged(bool checked) {
    const std::string message = m_session.SetUsePassword(checked);
    Finish(message, message.empty());
}

void CLoginPage::OnOK() {
    if (!IsCreated()) {
        return;
    }
    m_session.Login(m_enteredPassword->text().toStdString());
    Finish({}, true);
}

void CLoginPage::OnCancel() {
    if (!IsCreated()) {
        return;
    }
    m_session.Logout();
    Finish({}, true);
}

void CLoginPage::OnChangePassword() {
    Finish(m_session.ChangePassword(m_newPassword->text().toStdString(),
                                    m_confirmPassword->text().toStdString()),
           false);
}

}  // namespace chimeon
