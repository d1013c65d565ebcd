// Shows every window with some sample contents and saves a picture of each:
//   ui_window_gallery FOLDER
// For looking at the layouts (not a test; the pictures stay out of the repo).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>

#include "business_window.h"
#include "composer_dialog.h"
#include "customers_page.h"
#include "entry_page.h"
#include "main_bar.h"
#include "query_page.h"
#include "report_list.h"
#include "rollup_menu.h"
#include "settings_page.h"
#include "statistics_window.h"

namespace {

void save(QWidget& window, const QDir& dir, const char* name) {
    window.show();
    QApplication::processEvents();
    const QString path = dir.filePath(QString::fromLatin1(name) + ".png");
    if (!window.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    window.hide();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ui_window_gallery FOLDER\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));

    ui::MainBar bar;
    save(bar, dir, "main_bar");

    ui::EntryPage entry;
    entry.超级列表框记账->addRow({"", "1", "王小明", "相片冲印", "35", "已结", "加急"}, 1);
    entry.超级列表框记账->addRow(
        {"", "2", "李丽", "装裱", "-20", "未结", "数量2 尺寸1.2米X0.8米 加急"}, 0);
    entry.超级列表框记账->setRowSelected(1, true);
    entry.合计标签->setText("15");
    entry.组合框客户->addItems({"王小明", "李丽"});
    entry.组合框客户->setCurrentIndex(0);
    entry.组合框事件->addItems({"相片冲印", "装裱"});
    entry.组合框事件->setCurrentIndex(0);
    entry.标签客户名->setText("王小明");
    entry.编辑框历史价格->setPlainText("相片冲印--金额35元\r\n加急\r\n--------------------");
    save(entry, dir, "entry_page");
    entry.标签状态->show();
    entry.按钮记账->setEnabled(true);
    entry.日期框1->setEnabled(true);
    save(entry, dir, "entry_page_modify");

    ui::QueryPage query;
    for (int i = 0; i < 40; ++i) {
        query.超级列表框统计->addRow(
            {"", QString::number(i + 1), "2024年3月5日", "王小明", "相片冲印",
             QString::number(10 + i), i % 3 ? "未结" : "已结", "备注文字"},
            i % 3 ? 0 : 1);
    }
    query.超级列表框统计->setRowSelected(2, true);
    query.超级列表框统计->setRowSelected(3, true);
    save(query, dir, "query_page");

    ui::CustomersPage customers;
    customers.卷帘式菜单客户->addGroup("客户信息");
    for (const char* name : {"王小明", "李丽", "张三", "赵四"})
        customers.卷帘式菜单客户->addItem(0, QString::fromUtf8(name));
    customers.卷帘式菜单客户->setCurrentItem(1);
    customers.超级列表框1->addRow({"1", "李丽", "1520.5"});
    customers.超级列表框1->addRow({"2", "王小明", "35"});
    save(customers, dir, "customers_page");

    ui::SettingsPage settings;
    settings.列表框项目->addItems({"相片冲印", "装裱", "喷绘", "写真"});
    save(settings, dir, "settings_page");

    ui::ComposerDialog composer;
    save(composer, dir, "composer_dialog");

    // The statistics window as a build without Qt Charts paints it, with a
    // refund in one month.
    ledger::BusinessFigures figures;
    figures.year = 2024;
    figures.month = 3;
    for (int i = 0; i < ledger::kFigureMonths; ++i) {
        ledger::MonthTakings& m = figures.months[static_cast<std::size_t>(i)];
        m.year = i < 9 ? 2023 : 2024;
        m.month = (i + 3) % 12 + 1;
        m.takings = {2000.0 + 530.0 * ((i * 7) % 10), 300.0 + 410.0 * ((i * 3) % 8)};
    }
    figures.months[5].takings.unsettled = -600;
    const char* names[] = {"\xcd\xf5\xd0\xa1\xc3\xf7", "\xc0\xee\xc0\xf6",
                           "\xd6\xdc\xbc\xc7\xd3\xb0\xc2\xa5", ""};  // GBK
    double sum = 26012.9;
    for (const char* name : names) {
        figures.topCustomers.push_back({name, sum});
        sum = sum * 0.55;
    }
    figures.yearTakings = {45376.2, 23299.7};
    figures.monthTakings = {434.5, 360};
    figures.entries = 248;
    ui::StatisticsWindow statistics(nullptr, ui::ChartDrawing::Painted);
    ledger::fillStatisticsWindow(statistics, figures, 45366);
    save(statistics, dir, "statistics_window_painted");
    // A new shop: no entries yet.
    ledger::BusinessFigures none;
    none.year = 2024;
    none.month = 3;
    for (int i = 0; i < ledger::kFigureMonths; ++i)
        none.months[static_cast<std::size_t>(i)] = {i < 9 ? 2023 : 2024, (i + 3) % 12 + 1, {}};
    ledger::fillStatisticsWindow(statistics, none, 45366);
    save(statistics, dir, "statistics_window_painted_empty");
    return 0;
}
