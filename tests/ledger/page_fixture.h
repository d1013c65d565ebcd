// Page tests: the real entry and query windows, bound to the ledger pages,
// driven through their controls as the operator does (mouse and keyboard),
// with the scripted dialogs answering questions and recording messages.
#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "combo_box.h"
#include "date_picker.h"
#include "entry_page.h"
#include "entry_page_actions.h"
#include "ledger_fixture.h"
#include "page_helpers.h"
#include "query_page.h"
#include "query_page_actions.h"
#include "report_list.h"
#include "scripted_dialogs.h"

namespace ledger::testing {

inline QString q(const char* utf8) { return QString::fromUtf8(utf8); }

template <typename T>
T* control(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromUtf8(name));
    if (!found) ADD_FAILURE() << "no control " << name;
    return found;
}

inline void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

// Replaces a box's text by typing, as the operator does: ASCII on the
// keyboard, other characters committed by the input method.
inline void type(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    bool ascii = true;
    for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        QTest::keyClicks(box, text);
    } else {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(box, &event);
    }
}
inline void type(QComboBox* box, const QString& text) { type(box->lineEdit(), text); }

// Picks an entry from a combo box's drop-down list with the mouse.
inline void pick(QComboBox* box, const QString& entry) {
    const int index = box->findText(entry);
    ASSERT_GE(index, 0) << entry.toStdString();
    box->showPopup();
    QAbstractItemView* view = box->view();
    const QRect rect = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QApplication::processEvents();
}

inline QPoint rowPoint(ui::ReportList* list, int row, int column = 2) {
    return list->visualRect(list->model()->index(row, column)).center();
}
inline void clickRow(ui::ReportList* list, int row, Qt::KeyboardModifiers mods = {}) {
    list->scrollToRow(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, rowPoint(list, row));
}
inline void doubleClickRow(ui::ReportList* list, int row) {
    clickRow(list, row);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowPoint(list, row));
}
inline void rightClickRow(ui::ReportList* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, rowPoint(list, row));
}
inline void clickHeader(ui::ReportList* list, int column) {
    QHeaderView* header = list->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

inline QStringList columnTexts(ui::ReportList* list, int column) {
    QStringList out;
    for (int row = 0; row < list->rowCount(); ++row) out << list->cellText(row, column);
    return out;
}

class PageTest : public LedgerDirTest {
  protected:
    void SetUp() override {
        LedgerDirTest::SetUp();
        state_ = std::make_unique<LedgerState>();
    }
    void TearDown() override {
        entry_.reset();
        query_.reset();
        LedgerDirTest::TearDown();
    }

    // The entry page as the shell creates it with every switch on, showing `day`.
    ui::EntryPage& openEntryPage(double day, const QStringList& customers = {},
                                 const QStringList& items = {}) {
        entry_ = std::make_unique<ui::EntryPage>();
        entry_->按钮记账->setEnabled(true);
        entry_->日期框1->setEnabled(true);
        entry_->超级列表框记账->setWholeRowSelection(true);
        entry_->日期框1->blockSignals(true);
        entry_->日期框1->setValue(day);
        entry_->日期框1->blockSignals(false);
        entry_->show();
        // As the shell does: the page's operations, then its day list.
        entryActions_ = new EntryPageActions(*entry_, *state_);
        entryActions_->refreshEntryList();
        entry_->组合框客户->addItems(customers);
        entry_->组合框事件->addItems(items);
        entry_->组合框客户->clearText();
        entry_->组合框事件->clearText();
        return *entry_;
    }
    ui::QueryPage& openQueryPage() {
        query_ = std::make_unique<ui::QueryPage>();
        query_->show();
        queryActions_ = new QueryPageActions(*query_, *state_);
        return *query_;
    }

    // Controls by name.
    template <typename T>
    T* e(const char* name) {
        return control<T>(*entry_, name);
    }
    template <typename T>
    T* qc(const char* name) {
        return control<T>(*query_, name);
    }

    ui::ScriptedDialogs dialogs_;
    std::unique_ptr<LedgerState> state_;
    // Owned by their pages.
    EntryPageActions* entryActions_ = nullptr;
    QueryPageActions* queryActions_ = nullptr;
    std::unique_ptr<ui::EntryPage> entry_;
    std::unique_ptr<ui::QueryPage> query_;
};

}  // namespace ledger::testing
