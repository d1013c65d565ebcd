#include "pages.h"

#include <QColor>
#include <QPushButton>

#include "appearance.h"
#include "customers_page.h"
#include "date_picker.h"
#include "edit_box.h"
#include "entry_page.h"
#include "image_button.h"
#include "main_bar.h"
#include "password_gate.h"
#include "query_page.h"
#include "report_list.h"
#include "settings_page.h"
#include "toolbar.h"

namespace shell {

std::optional<PageId> pageAtToolbarPosition(int position) {
    switch (position) {
        case 1:
            return PageId::Entry;
        case 3:
            return PageId::Query;
        case 5:
            return PageId::Customers;
        case 7:
            return PageId::Settings;
        default:
            return std::nullopt;
    }
}

QRect dockedFrame(const QRect& barFrame, const QRect& pageFrame) {
    return QRect(barFrame.left(), barFrame.top() + barFrame.height(), barFrame.width(),
                 pageFrame.height());
}

void applyEntrySwitches(ui::EntryPage& page, const settings::Settings& s) {
    // Both start disabled; only a switch turns them on.
    if (s.allowEntry) page.按钮记账->setEnabled(true);
    if (s.allowEntryDate) page.日期框1->setEnabled(true);
    if (s.allowEntryEdit) page.超级列表框记账->setWholeRowSelection(true);
}

void applyQuerySwitches(ui::QueryPage& page, const settings::Settings& s) {
    if (!s.allowKeywordSearch) {
        page.编辑框搜索->setEnabled(false);
        page.按钮模糊搜索->setEnabled(false);
    }
    if (!s.allowDateSearch) page.按钮时间搜索->setEnabled(false);
    if (!s.allowCombinedSearch) page.按钮组合搜索->setEnabled(false);
}

void applyCustomerSwitches(ui::CustomersPage& page, const settings::Settings& s) {
    const QColor grey(192, 192, 192);
    const std::pair<bool, ui::ImageButton*> buttons[] = {{s.allowCustomerAdd, page.按钮添加},
                                                         {s.allowCustomerEdit, page.按钮修改},
                                                         {s.allowCustomerDelete, page.按钮删除}};
    for (auto [allowed, button] : buttons) {
        if (allowed) continue;
        button->setEnabled(false);
        button->setBackgroundColor(grey);
    }
}

std::optional<QString> gateTitle(PageId id, const settings::Settings& s) {
    switch (id) {
        case PageId::Entry:
            return std::nullopt;
        case PageId::Query:
            if (s.askQueryPassword) return QStringLiteral("请输入查询密码");
            return std::nullopt;
        case PageId::Customers:
            if (s.askCustomerPassword) return QStringLiteral("请输入客户密码");
            return std::nullopt;
        case PageId::Settings:
            // Whatever the switches say: without this gate anyone could clear the password.
            if (!s.password.empty()) return QStringLiteral("请输入密码");
            return std::nullopt;
    }
    return std::nullopt;
}

PageManager::PageManager(ui::MainBar& bar, const settings::Settings& s, PageLoaders loaders,
                         QObject* parent)
    : QObject(parent), bar_(bar), settings_(s), loaders_(std::move(loaders)) {
    connect(bar.工具条1, &ui::ToolBar::itemClicked, this, &PageManager::togglePage);
    connect(&bar, &ui::MainBar::moved, this, &PageManager::dockPages);
    connect(&bar, &ui::MainBar::hidden, this, &PageManager::hidePages);
}

void PageManager::togglePage(int position) {
    const std::optional<PageId> chosen = pageAtToolbarPosition(position);
    if (!chosen) return;
    for (int i = 0; i < kPageCount; ++i)
        if (i != static_cast<int>(*chosen) && pages_[i]) pages_[i]->hide();

    QWidget* p = page(*chosen);
    if (p && p->isVisible()) {
        p->hide();
        return;
    }
    if (!p) p = openPage(*chosen);
    if (!p) return;
    p->show();
    p->raise();
}

template <class Page>
Page* PageManager::create() {
    auto* p = new Page(&bar_);
    // "收起" of every page is bound here, and only here.
    connect(p->按钮2, &QAbstractButton::clicked, p, &QWidget::hide);
    return p;
}

QWidget* PageManager::openPage(PageId id) {
    const int index = static_cast<int>(id);
    if (pages_[index]) return pages_[index];

    QWidget* p = nullptr;
    switch (id) {
        case PageId::Entry: {
            auto* entry = create<ui::EntryPage>();
            applyEntrySwitches(*entry, settings_);
            p = entry;
            break;
        }
        case PageId::Query: {
            auto* query = create<ui::QueryPage>();
            applyQuerySwitches(*query, settings_);
            p = query;
            break;
        }
        case PageId::Customers: {
            auto* customers = create<ui::CustomersPage>();
            applyCustomerSwitches(*customers, settings_);
            p = customers;
            break;
        }
        case PageId::Settings:
            p = create<ui::SettingsPage>();
            break;
    }
    dockPage(p);

    if (const auto title = gateTitle(id, settings_);
        title && !askUntilAccepted(settings_, *title)) {
        delete p;
        return nullptr;
    }
    pages_[index] = p;

    switch (id) {
        case PageId::Entry:
            if (loaders_.entry) loaders_.entry(*static_cast<ui::EntryPage*>(p));
            break;
        case PageId::Query:
            if (loaders_.query) loaders_.query(*static_cast<ui::QueryPage*>(p));
            break;
        case PageId::Customers:
            if (loaders_.customers) loaders_.customers(*static_cast<ui::CustomersPage*>(p));
            break;
        case PageId::Settings:
            if (loaders_.settings) loaders_.settings(*static_cast<ui::SettingsPage*>(p));
            break;
    }
    return p;
}

void PageManager::dockPage(QWidget* p) {
    if (!p) return;
    const QRect frame = p->frameGeometry();
    const QRect inner = p->geometry();
    const QRect target = dockedFrame(bar_.frameGeometry(), frame);
    // The page's own frame, if the system gives it one, stays around it.
    p->resize(target.width() - (frame.width() - inner.width()), inner.height());
    p->move(target.topLeft());
}

void PageManager::dockPages() {
    for (const auto& p : pages_) dockPage(p);
}

void PageManager::hidePages() {
    for (const auto& p : pages_)
        if (p) p->hide();
}

ui::EntryPage* PageManager::entryPage() const {
    return static_cast<ui::EntryPage*>(page(PageId::Entry));
}
ui::QueryPage* PageManager::queryPage() const {
    return static_cast<ui::QueryPage*>(page(PageId::Query));
}
ui::CustomersPage* PageManager::customersPage() const {
    return static_cast<ui::CustomersPage*>(page(PageId::Customers));
}
ui::SettingsPage* PageManager::settingsPage() const {
    return static_cast<ui::SettingsPage*>(page(PageId::Settings));
}

}  // namespace shell
