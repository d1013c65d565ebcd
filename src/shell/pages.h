// The four pages under the main bar: created on first use from the toolbar,
// docked under the bar with its width, one shown at a time. A page applies its
// switches, passes its password gate and loads its contents once per creation.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "settings.h"

namespace ui {
class CustomersPage;
class EntryPage;
class MainBar;
class QueryPage;
class SettingsPage;
}  // namespace ui

namespace shell {

enum class PageId { Entry = 0, Query = 1, Customers = 2, Settings = 3 };
inline constexpr int kPageCount = 4;

// The toolbar reports 1, 3, 5, 7 for the four buttons; anything else is no page.
std::optional<PageId> pageAtToolbarPosition(int position);

// Where a page's outer rectangle goes: under the bar's outer rectangle, as
// wide as the bar, its own height kept.
QRect dockedFrame(const QRect& barFrame, const QRect& pageFrame);

// The switches each page applies when it is created.
void applyEntrySwitches(ui::EntryPage& page, const settings::Settings& s);
void applyQuerySwitches(ui::QueryPage& page, const settings::Settings& s);
void applyCustomerSwitches(ui::CustomersPage& page, const settings::Settings& s);

// The title of a page's password prompt, or nullopt when it opens without one.
std::optional<QString> gateTitle(PageId id, const settings::Settings& s);

// What each page loads after its gate; a missing loader loads nothing.
struct PageLoaders {
    std::function<void(ui::EntryPage&)> entry;
    std::function<void(ui::QueryPage&)> query;
    std::function<void(ui::CustomersPage&)> customers;
    std::function<void(ui::SettingsPage&)> settings;
};

class PageManager : public QObject {
    Q_OBJECT
  public:
    // Listens to the bar: its toolbar opens and closes pages, a move docks
    // them again, hiding it hides them.
    PageManager(ui::MainBar& bar, const settings::Settings& s, PageLoaders loaders = {},
                QObject* parent = nullptr);

    void setLoaders(PageLoaders loaders) { loaders_ = std::move(loaders); }

    // A toolbar click: hides the other pages, then hides the chosen page when
    // it is shown, else shows it, creating it first when needed.
    void togglePage(int position);

    // Creates a page window owned by the bar and runs its opening steps.
    // nullptr when its password prompt was cancelled: the window is gone again.
    QWidget* openPage(PageId id);

    // Puts a page under the bar with the bar's width.
    void dockPage(QWidget* page);
    // Every created page.
    void dockPages();
    void hidePages();

    // The created page, nullptr when not created.
    QWidget* page(PageId id) const { return pages_[static_cast<int>(id)]; }
    ui::EntryPage* entryPage() const;
    ui::QueryPage* queryPage() const;
    ui::CustomersPage* customersPage() const;
    ui::SettingsPage* settingsPage() const;

  private:
    template <class Page>
    Page* create();

    ui::MainBar& bar_;
    const settings::Settings& settings_;
    PageLoaders loaders_;
    std::array<QPointer<QWidget>, kPageCount> pages_;
};

}  // namespace shell
