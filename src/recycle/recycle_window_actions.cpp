#include "recycle_window_actions.h"

#include <QPushButton>

#include "dates.h"
#include "dialogs.h"
#include "gbk_text.h"
#include "numbers.h"
#include "recycle_window.h"
#include "report_list.h"

namespace recycle {

namespace {

QString tr8(const char* utf8) { return QString::fromUtf8(utf8); }

void say(const char* text, ui::MessageIcon icon) { ui::dialogs().message(tr8(text), icon); }

}  // namespace

QString contentText(const Deleted& entry) {
    QStringList parts;
    const auto& v = entry.values;
    if (entry.source == Source::Ledger && v.size() == 6) {
        parts << ui::fromGbk(convert::dateToText(v[0].asDateTime())) << ui::fromGbk(v[1].asText())
              << ui::fromGbk(v[2].asText())
              << ui::fromGbk(convert::numberToText(v[3].asNumber())) + QStringLiteral("元")
              << QString::fromUtf8(v[5].asBool() ? "已结" : "未结");
        if (!v[4].asText().empty()) parts << ui::fromGbk(v[4].asText());
    } else {
        for (const tables::TableValue& value : v)
            if (!value.asText().empty()) parts << ui::fromGbk(value.asText());
    }
    return parts.join(QStringLiteral("  "));
}

RecycleWindowActions::RecycleWindowActions(ui::RecycleWindow& window,
                                           std::function<void()> afterPutBack, RecycleFiles files)
    : QObject(&window),
      window_(window),
      afterPutBack_(std::move(afterPutBack)),
      files_(std::move(files)) {
    connect(window.按钮还原, &QAbstractButton::clicked, this, [this] { putBackSelected(); });
    connect(window.按钮关闭, &QAbstractButton::clicked, &window, &QDialog::accept);
    ui::ReportList* list = window.超级列表框删除;
    connect(list, &ui::ReportList::rowDoubleClicked, this, [this](int row) {
        if (row >= 0) putBackSelected();
    });
    fillList();
}

void RecycleWindowActions::fillList() {
    ui::ReportList& list = *window_.超级列表框删除;
    list.clearRows();
    entries_.clear();
    auto entries = readBin(files_.bin);
    if (!entries) {
        say(text::kBinNotRead, ui::MessageIcon::Error);
        return;
    }
    entries_ = std::move(*entries);
    list.reserveRows(static_cast<int>(entries_.size()));
    for (const Deleted& e : entries_) {
        list.addRow({QString(), ui::fromGbk(convert::dateToText(e.deletedAt)),
                     tr8(e.source == Source::Ledger ? text::kFromLedger : text::kFromCustomers),
                     contentText(e)});
    }
}

void RecycleWindowActions::putBackSelected() {
    const QList<int> rows = window_.超级列表框删除->selectedRows();
    if (rows.isEmpty() || rows.first() >= static_cast<int>(entries_.size())) {
        say(text::kChooseEntry, ui::MessageIcon::Warning);
        return;
    }
    const Deleted& entry = entries_[static_cast<std::size_t>(rows.first())];
    const bool toLedger = entry.source == Source::Ledger;
    const BinResult result = putBack(files_.bin, entry.id, files_.ledger, files_.customers);
    switch (result) {
        case BinResult::Ok:
            say(text::kPutBack, ui::MessageIcon::Information);
            break;
        case BinResult::NotTakenOut:
            say(text::kNotTakenOut, ui::MessageIcon::Warning);
            break;
        case BinResult::Gone:
            say(text::kGone, ui::MessageIcon::Warning);
            fillList();
            return;
        case BinResult::AlreadyThere:
            say(text::kAlreadyThere, ui::MessageIcon::Warning);
            return;
        case BinResult::OpenFailed:
            say(toLedger ? text::kLedgerNotRead : text::kCustomersNotRead, ui::MessageIcon::Error);
            return;
        case BinResult::ReadFailed:
            say(text::kBinNotRead, ui::MessageIcon::Error);
            return;
        case BinResult::TooLong:
        case BinResult::WriteFailed:
            say(text::kNotPutBack, ui::MessageIcon::Error);
            return;
    }
    fillList();
    if (afterPutBack_) afterPutBack_();
}

void openRecycleWindow(QWidget* owner, std::function<void()> afterPutBack) {
    ui::RecycleWindow window(owner);
    window.setWindowModality(Qt::ApplicationModal);
    ui::placeUnderOwner(&window, owner);
    new RecycleWindowActions(window, std::move(afterPutBack));
    window.exec();
}

}  // namespace recycle
