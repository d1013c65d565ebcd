// Qt's own windows that the operator reaches speak Chinese once the program
// has installed Qt's Chinese texts: the print preview, page setup and print
// dialogs, the message boxes, the date picker's calendar and the edit and
// combo boxes' context menus.
#include "chinese_texts.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QSet>
#include <QTabBar>
#include <memory>

#include "combo_box.h"
#include "date_picker.h"
#include "edit_box.h"
#include "table_grid.h"
#include "widget_dialogs.h"

namespace {

// What the operator reads in a window: titles, captions, tool tips, menu
// entries, list entries and column heads. Typed values (edit texts) are
// not captions.
QStringList captions(QWidget* root) {
    QStringList out{root->windowTitle()};
    QList<QObject*> objects = root->findChildren<QObject*>();
    objects.prepend(root);
    for (QObject* o : objects) {
        if (auto* a = qobject_cast<QAction*>(o)) out << a->text() << a->toolTip();
        if (auto* w = qobject_cast<QWidget*>(o)) out << w->toolTip() << w->windowTitle();
        if (auto* b = qobject_cast<QAbstractButton*>(o)) out << b->text();
        if (auto* l = qobject_cast<QLabel*>(o)) out << l->text();
        if (auto* g = qobject_cast<QGroupBox*>(o)) out << g->title();
        if (auto* e = qobject_cast<QLineEdit*>(o)) out << e->placeholderText();
        if (auto* c = qobject_cast<QComboBox*>(o))
            for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
        if (auto* t = qobject_cast<QTabBar*>(o))
            for (int i = 0; i < t->count(); ++i) out << t->tabText(i);
        if (auto* v = qobject_cast<QAbstractItemView*>(o); v && v->model()) {
            const QAbstractItemModel* m = v->model();
            for (int c = 0; c < m->columnCount(); ++c)
                out << m->headerData(c, Qt::Horizontal).toString();
        }
    }
    out.removeAll(QString());
    return out;
}

// English: a caption without any Chinese that holds a word of Latin letters,
// other than the symbols and standard names every Chinese desktop shows as
// they are (units, paper standards, key names).
bool isEnglish(const QString& caption) {
    static const QSet<QString> symbols{"mm",   "in",   "pt",    "PDF", "JIS",
                                       "ANSI", "Ctrl", "Shift", "Alt"};
    QString text = caption.section(QLatin1Char('\t'), 0, 0);
    text.remove(QLatin1Char('&'));
    static const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
    if (text.contains(chinese)) return false;
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    for (auto it = word.globalMatch(text); it.hasNext();)
        if (!symbols.contains(it.next().captured())) return true;
    return false;
}

QStringList englishIn(QWidget* root) {
    QStringList found;
    for (const QString& c : captions(root))
        if (isEnglish(c)) found << c;
    return found;
}

class ChineseTexts : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { loaded_ = ui::installChineseTexts(); }
    static void TearDownTestSuite() { QLocale::setDefault(QLocale::c()); }
    static inline QString loaded_;
};

TEST_F(ChineseTexts, QtsCatalogueIsFound) {
    EXPECT_TRUE(loaded_.endsWith(QStringLiteral("qtbase_zh_CN.qm"))) << loaded_.toStdString();
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);
}

TEST_F(ChineseTexts, TheCopyBesideTheProgramComesFirst) {
    // A packaged program ships the catalogue in "translations" beside it.
    const QString beside = ui::translationFolders().front();
    ASSERT_EQ(beside, QDir(QCoreApplication::applicationDirPath()).filePath("translations"));
    const bool madeHere = !QFileInfo::exists(beside);
    ASSERT_TRUE(QDir().mkpath(beside));
    const QString copy = QDir(beside).filePath(QStringLiteral("qtbase_zh_CN.qm"));
    // The Windows build ships one there already; it stays.
    const bool copiedHere = !QFileInfo::exists(copy);
    if (copiedHere) {
        ASSERT_TRUE(QFile::copy(loaded_, copy));
    }
    EXPECT_EQ(QFileInfo(ui::installChineseTexts()).canonicalFilePath(),
              QFileInfo(copy).canonicalFilePath());
    if (copiedHere) QFile::remove(copy);
    if (madeHere) QDir(beside).removeRecursively();
}

TEST_F(ChineseTexts, PrintPreviewPageSetupAndPrintDialogs) {
    QWidget window;
    auto* grid = new ui::TableGrid(&window);
    grid->setSize(1, 1);
    grid->openPrintPreview();
    ASSERT_NE(grid->printPreview(), nullptr);
    const QStringList preview = captions(grid->printPreview());
    EXPECT_GT(preview.size(), 20) << "the toolbar's actions are read";
    EXPECT_TRUE(englishIn(grid->printPreview()).isEmpty())
        << englishIn(grid->printPreview()).join(" | ").toStdString();

    QPrinter printer(QPrinter::HighResolution);
    QPageSetupDialog setup(&printer);
    EXPECT_TRUE(englishIn(&setup).isEmpty()) << englishIn(&setup).join(" | ").toStdString();
    QPrintDialog print(&printer);
    EXPECT_TRUE(englishIn(&print).isEmpty()) << englishIn(&print).join(" | ").toStdString();
}

TEST_F(ChineseTexts, MessageBoxButtons) {
    const std::unique_ptr<QMessageBox> ours(ui::WidgetDialogs::makeMessageBox(
        QStringLiteral("无信息！"), ui::MessageIcon::Question, QStringLiteral("信息："), true));
    EXPECT_TRUE(englishIn(ours.get()).isEmpty()) << englishIn(ours.get()).join(" | ").toStdString();
    // Qt's own standard buttons, should a box ever use them.
    QMessageBox box(QMessageBox::Information, QStringLiteral("信息："), QStringLiteral("无信息！"),
                    QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No |
                        QMessageBox::Close);
    EXPECT_TRUE(englishIn(&box).isEmpty()) << englishIn(&box).join(" | ").toStdString();
}

TEST_F(ChineseTexts, DatePickerCalendar) {
    ui::DatePicker picker;
    picker.setValue(ui::DatePicker::toDays(QDateTime(QDate(2026, 11, 24), QTime())));
    QCalendarWidget* calendar = picker.calendarWidget();
    calendar->show();
    // Month and day names; the day names head the calendar's first row.
    const auto* month =
        calendar->findChild<QAbstractButton*>(QStringLiteral("qt_calendar_monthbutton"));
    ASSERT_NE(month, nullptr);
    EXPECT_EQ(month->text(), QStringLiteral("十一月"));
    const auto* view = calendar->findChild<QAbstractItemView*>();
    ASSERT_NE(view, nullptr);
    QStringList days;
    for (int c = 0; c < view->model()->columnCount(); ++c)
        days << view->model()->data(view->model()->index(0, c)).toString();
    days.removeAll(QString());
    // In the order of the locale's week (in China from Sunday).
    EXPECT_EQ(QSet<QString>(days.begin(), days.end()),
              (QSet<QString>{"周一", "周二", "周三", "周四", "周五", "周六", "周日"}));
    EXPECT_TRUE(englishIn(calendar).isEmpty()) << englishIn(calendar).join(" | ").toStdString();
}

TEST_F(ChineseTexts, EditAndComboContextMenus) {
    ui::EditBox edit;
    edit.setText(QStringLiteral("加急"));
    edit.selectAll();
    ui::ComboBox combo;
    combo.setEditText(QStringLiteral("张三"));
    QPlainTextEdit history;
    history.setReadOnly(true);
    history.setPlainText(QStringLiteral("照片--金额12元"));
    const std::unique_ptr<QMenu> menus[] = {
        std::unique_ptr<QMenu>(edit.createStandardContextMenu()),
        std::unique_ptr<QMenu>(combo.lineEdit()->createStandardContextMenu()),
        std::unique_ptr<QMenu>(history.createStandardContextMenu())};
    for (const auto& menu : menus) {
        // Undo, Redo, Cut, Copy, Paste, Delete, Select All, as they apply.
        EXPECT_GE(menu->actions().size(), 2);
        EXPECT_TRUE(englishIn(menu.get()).isEmpty())
            << englishIn(menu.get()).join(" | ").toStdString();
    }
}

}  // namespace
