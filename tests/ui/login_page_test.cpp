#include "ui/system/login_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "core/system/stored_password.h"
#include "support/ui/ui_test_support.h"

namespace chimeon {
namespace {

class LoginPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::App();
        page = std::make_unique<CLoginPage>(state, settings);
    }
    void Create() {
        area.resize(480, 400);
        page->CreatePage(CLoginPage::kTemplateId, &area);
        area.show();
        page->show();
    }
    // 1 when every control below the box is enabled, 0 when none is, -1 otherwise.
    int ControlsEnabled() const {
        const QWidget* controls[] = {page->enteredPassword(), page->loginButton(),
                                     page->logoutButton(),    page->newPassword(),
                                     page->confirmPassword(), page->changeButton()};
        int enabled = 0;
        for (const QWidget* control : controls) {
            enabled += control->isEnabled() ? 1 : 0;
        }
        return enabled == 6 ? 1 : enabled == 0 ? 0 : -1;
    }

    test::WithApp app_;
    AppState state;
    test::MemorySettings settings;
    test::MessageCapture messages;
    QWidget area;
    std::unique_ptr<CLoginPage> page;
};

TEST_F(LoginPageTest, SwitchOnLogInChangeLogOutAndSwitchOff) {
    Create();  // fresh settings: the box cleared, the controls below it disabled
    EXPECT_FALSE(page->usePasswordCheck()->isChecked());
    EXPECT_EQ(ControlsEnabled(), 0);
    EXPECT_EQ(page->stateText()->text(), QStringLiteral("用户未登陆！"));
    EXPECT_TRUE(page->enteredPassword()->echoMode() == QLineEdit::Password &&
                page->newPassword()->echoMode() == QLineEdit::Password &&
                page->confirmPassword()->echoMode() == QLineEdit::Password);
    QSignalSpy userState(page.get(), &CSubDialog::userStateChanged);
    QTest::mouseClick(page->usePasswordCheck(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, page->usePasswordCheck()->height() / 2));
    EXPECT_TRUE(page->usePasswordCheck()->isChecked());
    EXPECT_EQ(ControlsEnabled(), 1);
    EXPECT_FALSE(state.IsEditAllowed());
    EXPECT_GE(userState.count(), 1);

    // Clearing the box while locked is refused and the box is ticked again.
    page->usePasswordCheck()->click();
    EXPECT_TRUE(page->usePasswordCheck()->isChecked());
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("登陆后才能取消登陆密码！")});
    EXPECT_TRUE(state.usePassword);

    // Enter in the password entry logs in, with the empty password.
    page->enteredPassword()->setFocus();
    QTest::keyClick(page->enteredPassword(), Qt::Key_Return);
    EXPECT_TRUE(state.loggedIn);
    EXPECT_EQ(page->stateText()->text(), QStringLiteral("用户已经登陆！"));

    page->newPassword()->setText(QStringLiteral("广播"));
    page->confirmPassword()->setText(QStringLiteral("广播"));
    page->changeButton()->click();
    EXPECT_EQ(messages.messages.last(), QStringLiteral("修改成功！"));
    EXPECT_EQ(settings.values["Pas"], EncipherPassword("\xB9\xE3\xB2\xA5"));  // GBK bytes of 广播

    page->logoutButton()->click();
    EXPECT_FALSE(state.loggedIn);
    EXPECT_EQ(page->stateText()->text(), QStringLiteral("用户已经退出！"));
    page->enteredPassword()->setText(QStringLiteral("广播"));
    page->loginButton()->click();
    EXPECT_TRUE(state.loggedIn);

    page->usePasswordCheck()->click();
    EXPECT_FALSE(page->usePasswordCheck()->isChecked());
    EXPECT_EQ(ControlsEnabled(), 0);
    EXPECT_FALSE(state.loggedIn);
    EXPECT_TRUE(state.IsEditAllowed());
}

}  // namespace
}  // namespace chimeon
