// The operator's dialogs: the password prompt (Enter, Escape, close box), the
// widget message boxes and questions, and the scripted double tests use.
#include "dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "password_dialog.h"
#include "scripted_dialogs.h"
#include "widget_dialogs.h"

namespace {

using ui::MessageIcon;
using ui::PasswordDialog;
using ui::RecordedMessage;

// Runs `act` on the modal window once it is up (exec() is running then).
void whenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

class PasswordDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    PasswordDialog dialog{"请输入查询密码"};
};

TEST_F(PasswordDialogTest, HasTheTitleOneEmptyMaskedFieldAndNoPromptLine) {
    EXPECT_EQ(dialog.windowTitle(), "请输入查询密码");
    EXPECT_EQ(dialog.findChildren<QLineEdit*>().size(), 1);
    EXPECT_TRUE(dialog.field()->text().isEmpty());
    EXPECT_EQ(dialog.field()->echoMode(), QLineEdit::Password);
    for (QLabel* label : dialog.findChildren<QLabel*>()) EXPECT_TRUE(label->text().isEmpty());
    EXPECT_EQ(dialog.confirmButton()->text(), "确认输入(&O)");
    EXPECT_EQ(dialog.cancelButton()->text(), "取消(&C)");
    EXPECT_TRUE(dialog.confirmButton()->isDefault());
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
}

TEST_F(PasswordDialogTest, EnterConfirmsTheTextAsTyped) {
    QTest::keyClicks(dialog.field(), " 58 3");
    QTest::keyClick(dialog.field(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.typedText(), " 58 3");
}

TEST_F(PasswordDialogTest, EnterOnAnEmptyFieldConfirmsTheEmptyText) {
    QTest::keyClick(dialog.field(), Qt::Key_Enter);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.typedText(), QString());
}

TEST_F(PasswordDialogTest, EscapeCancels) {
    QTest::keyClicks(dialog.field(), "123");
    QTest::keyClick(dialog.field(), Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(PasswordDialogTest, TheCloseBoxCancels) {
    QTest::keyClicks(dialog.field(), "123");
    EXPECT_TRUE(dialog.close());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(PasswordDialogTest, TheButtonsConfirmAndCancel) {
    QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    dialog.show();
    QTest::mouseClick(dialog.confirmButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(WidgetDialogs, AskPasswordWaitsForTheOperator) {
    ui::WidgetDialogs real;
    ui::Dialogs* before = ui::Dialogs::setCurrent(&real);
    whenModal([](QWidget* modal) {
        auto* prompt = qobject_cast<PasswordDialog*>(modal);
        ASSERT_NE(prompt, nullptr);
        EXPECT_EQ(prompt->windowTitle(), "请输入登录密码");
        QTest::keyClicks(prompt->field(), "583027");
        QTest::keyClick(prompt->field(), Qt::Key_Return);
    });
    EXPECT_EQ(ui::dialogs().askPassword("请输入登录密码"), std::optional<QString>("583027"));

    whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(ui::dialogs().askPassword("请输入密码"), std::nullopt);
    ui::Dialogs::setCurrent(before);
}

TEST(WidgetDialogs, AMessageIsATaskModalBoxWithOneOkButton) {
    ui::WidgetDialogs real;
    ui::Dialogs* before = ui::Dialogs::setCurrent(&real);
    bool seen = false;
    whenModal([&seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->windowTitle(), "信息：");
        EXPECT_EQ(box->text(), "请正确填写金额！");
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(box->parentWidget(), nullptr);
        ASSERT_EQ(box->buttons().size(), 1);
        box->button(QMessageBox::Ok)->click();
    });
    ui::dialogs().message("请正确填写金额！", MessageIcon::Warning);
    EXPECT_TRUE(seen);
    ui::Dialogs::setCurrent(before);
}

TEST(WidgetDialogs, EachIconHasItsBoxAndAQuestionOffersOkAndCancel) {
    auto icon = [](MessageIcon i) {
        std::unique_ptr<QMessageBox> box(
            ui::WidgetDialogs::makeMessageBox("t", i, "友情提醒:", false));
        EXPECT_EQ(box->windowTitle(), "友情提醒:");
        return box->icon();
    };
    EXPECT_EQ(icon(MessageIcon::Error), QMessageBox::Critical);
    EXPECT_EQ(icon(MessageIcon::Warning), QMessageBox::Warning);
    EXPECT_EQ(icon(MessageIcon::Information), QMessageBox::Information);
    EXPECT_EQ(icon(MessageIcon::Question), QMessageBox::Question);

    ui::WidgetDialogs real;
    ui::Dialogs* before = ui::Dialogs::setCurrent(&real);
    whenModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "当前选中第  2  项");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->buttons().size(), 2);
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_TRUE(ui::dialogs().question("是否删除当前选中第 2 项？", "当前选中第  2  项"));
    whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_FALSE(ui::dialogs().question("是否修改当前第 2 项？"));
    ui::Dialogs::setCurrent(before);
}

TEST(ScriptedDialogs, RecordsEveryMessageAndQuestionInOrder) {
    ui::ScriptedDialogs d;
    d.answerQuestion(true);
    ui::dialogs().message("记账数据库没有读取成功！", MessageIcon::Error);
    EXPECT_TRUE(ui::dialogs().question("是否删除当前选中第 1 项？", "当前选中第  1  项"));
    ui::dialogs().message("检测到有相同程序在运行，请勿重复运行！", MessageIcon::Information,
                          "友情提醒:");
    EXPECT_EQ(
        d.messages(),
        (QList<RecordedMessage>{
            {"记账数据库没有读取成功！", MessageIcon::Error, "信息："},
            {"是否删除当前选中第 1 项？", MessageIcon::Question, "当前选中第  1  项"},
            {"检测到有相同程序在运行，请勿重复运行！", MessageIcon::Information, "友情提醒:"}}));
    EXPECT_EQ(d.messageTexts().size(), 3);
    EXPECT_EQ(d.unansweredCount(), 0);
    d.clearRecords();
    EXPECT_TRUE(d.messages().isEmpty());
}

TEST(ScriptedDialogs, GivesQueuedAnswersThenCancels) {
    ui::ScriptedDialogs d;
    d.answerPassword("123");
    d.cancelPassword();
    d.answerPassword("");
    d.answerQuestion(false);
    EXPECT_EQ(d.pendingPasswordAnswers(), 3);
    EXPECT_EQ(ui::dialogs().askPassword("请输入客户密码"), std::optional<QString>("123"));
    EXPECT_EQ(ui::dialogs().askPassword("请输入客户密码"), std::nullopt);
    EXPECT_EQ(ui::dialogs().askPassword("请输入密码"), std::optional<QString>(""));
    EXPECT_FALSE(ui::dialogs().question("?"));
    EXPECT_EQ(d.unansweredCount(), 0);
    // Nothing queued: Cancel, and counted.
    EXPECT_FALSE(ui::dialogs().question("?"));
    EXPECT_EQ(ui::dialogs().askPassword("请输入密码"), std::nullopt);
    EXPECT_EQ(d.unansweredCount(), 2);
    EXPECT_EQ(d.passwordTitles(),
              (QStringList{"请输入客户密码", "请输入客户密码", "请输入密码", "请输入密码"}));
}

TEST(WidgetDialogs, SaveFileAddsTheFiltersExtensionToABareName) {
    ui::WidgetDialogs real;
    ui::Dialogs* before = ui::Dialogs::setCurrent(&real);
    const QString folder = QDir::tempPath();
    whenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "导出到Excel");
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->nameFilters(), QStringList{"Excel 工作簿 (*.xlsx)"});
        EXPECT_EQ(dialog->defaultSuffix(), "xlsx");
        dialog->selectFile(QStringLiteral("月报"));
        static_cast<QDialog*>(dialog)->accept();  // as the "保存" button does
    });
    EXPECT_EQ(ui::dialogs().askSaveFile("导出到Excel", QDir(folder).filePath("查询结果.xlsx"),
                                        "Excel 工作簿 (*.xlsx)"),
              std::optional<QString>(QDir(folder).filePath("月报.xlsx")));

    whenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(ui::dialogs().askSaveFile("导出CSV", "a.csv", "CSV 文件 (*.csv)"), std::nullopt);
    ui::Dialogs::setCurrent(before);
}

TEST(ScriptedDialogs, SaveFileDialogsAreRecordedAndTakeQueuedPaths) {
    ui::ScriptedDialogs d;
    d.answerSaveFile("/tmp/a.csv");
    d.cancelSaveFile();
    EXPECT_EQ(d.pendingSaveFileAnswers(), 2);
    EXPECT_EQ(ui::dialogs().askSaveFile("导出CSV", "/x/查询结果.csv", "CSV 文件 (*.csv)"),
              std::optional<QString>("/tmp/a.csv"));
    EXPECT_EQ(ui::dialogs().askSaveFile("保存为PDF", "/x/b.pdf", "PDF 文件 (*.pdf)"), std::nullopt);
    EXPECT_EQ(d.unansweredCount(), 0);
    EXPECT_EQ(ui::dialogs().askSaveFile("导出CSV", "c.csv", "CSV 文件 (*.csv)"), std::nullopt);
    EXPECT_EQ(d.unansweredCount(), 1);
    using Request = ui::ScriptedDialogs::SaveFileRequest;
    EXPECT_EQ(d.saveFileRequests(),
              (QList<Request>{{"导出CSV", "/x/查询结果.csv", "CSV 文件 (*.csv)"},
                              {"保存为PDF", "/x/b.pdf", "PDF 文件 (*.pdf)"},
                              {"导出CSV", "c.csv", "CSV 文件 (*.csv)"}}));
}

TEST(ScriptedDialogs, InstallsItselfAndPutsThePreviousOneBack) {
    ui::ScriptedDialogs outer;
    {
        ui::ScriptedDialogs inner;
        EXPECT_EQ(&ui::dialogs(), &inner);
        ui::dialogs().message("inner", MessageIcon::Information);
    }
    EXPECT_EQ(&ui::dialogs(), &outer);
    EXPECT_TRUE(outer.messages().isEmpty());
}

}  // namespace
