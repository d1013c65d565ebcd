#include "backup_window_actions.h"

#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QSettings>

#include "backup_window.h"
#include "dates.h"
#include "dialogs.h"
#include "gbk_text.h"
#include "report_list.h"
#include "restore.h"

namespace backup {

namespace {

constexpr const char* kPreferencesFile = "岚禾记账.ini";
// QSettings escapes keys that are not ASCII; values are kept as UTF-8.
constexpr const char* kSecondFolderKey = "backup/secondFolder";

QString tr8(const char* utf8) { return QString::fromUtf8(utf8); }
QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
std::string toUtf8(const QString& s) { return s.toUtf8().toStdString(); }

void say(const QString& text, ui::MessageIcon icon) { ui::dialogs().message(text, icon); }

}  // namespace

QString preferencesPath() { return QDir::current().filePath(tr8(kPreferencesFile)); }

QString secondBackupFolder() {
    const QSettings s(preferencesPath(), QSettings::IniFormat);
    return s.value(QString::fromLatin1(kSecondFolderKey)).toString();
}

void setSecondBackupFolder(const QString& folder) {
    QSettings s(preferencesPath(), QSettings::IniFormat);
    if (folder.isEmpty())
        s.remove(QString::fromLatin1(kSecondFolderKey));
    else
        s.setValue(QString::fromLatin1(kSecondFolderKey), folder);
    s.sync();
}

std::string BackupPlaces::root() const {
    return tablesDir.empty() ? std::string(kBackupFolder)
                             : tablesDir + "/" + std::string(kBackupFolder);
}

QString timeText(const LocalTime& t) { return ui::fromGbk(convert::dateToText(toDateTime(t))); }

QString sizeText(std::int64_t bytes) {
    if (bytes < 1024) return QString::number(bytes) + QStringLiteral(" 字节");
    if (bytes < 1024 * 1024) return QString::number(double(bytes) / 1024.0, 'f', 1) + " KB";
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + " MB";
}

BackupWindowActions::BackupWindowActions(ui::BackupWindow& window, BackupPlaces places,
                                         std::function<void()> afterRestore,
                                         FolderChooser chooseFolder)
    : QObject(&window),
      window_(window),
      places_(std::move(places)),
      afterRestore_(std::move(afterRestore)),
      chooseFolder_(std::move(chooseFolder)) {
    if (!chooseFolder_) {
        chooseFolder_ = [this](const QString& current) {
            return QFileDialog::getExistingDirectory(&window_, tr8(text::kSecondPlace), current);
        };
    }
    connect(window.按钮立即备份, &QAbstractButton::clicked, this, [this] { backUpNow(); });
    connect(window.按钮恢复, &QAbstractButton::clicked, this, [this] { restoreSelected(); });
    connect(window.按钮第二位置, &QAbstractButton::clicked, this, [this] { chooseSecondPlace(); });
    connect(window.按钮不用第二位置, &QAbstractButton::clicked, this,
            [this] { forgetSecondPlace(); });
    connect(window.按钮关闭, &QAbstractButton::clicked, &window, &QDialog::accept);
    fillBackupList();
    showSecondPlace();
}

void BackupWindowActions::fillBackupList() {
    ui::ReportList& list = *window_.超级列表框备份;
    list.clearRows();
    backups_ = listBackups(places_.root());
    for (const BackupInfo& b : backups_) {
        const bool ok = b.verified;
        list.addRow({QString(), timeText(b.time),
                     ok ? QString::number(b.ledgerEntries()) : QString(),
                     ok ? QString::number(b.customerCount()) : QString(),
                     ok ? sizeText(b.totalBytes()) : QString(),
                     tr8(ok ? text::kVerified : text::kIncomplete)});
    }
}

void BackupWindowActions::showSecondPlace() {
    const QString folder = secondBackupFolder();
    window_.标签第二位置->setText(folder.isEmpty() ? tr8(text::kNotSet)
                                                   : QDir::toNativeSeparators(folder));
    window_.按钮不用第二位置->setEnabled(!folder.isEmpty());
}

void BackupWindowActions::backUpNow() {
    BackupRequest request;
    request.tablesDir = places_.tablesDir;
    request.root = places_.root();
    request.secondRoot = toUtf8(secondBackupFolder());
    request.clock = places_.clock;
    const BackupOutcome made = makeBackup(request);
    fillBackupList();
    if (made.nothingToBackUp) {
        say(tr8(text::kNothingToBackUp), ui::MessageIcon::Warning);
    } else if (!made.failure.ok()) {
        say(tr8(text::kBackupFailed).arg(fromUtf8(made.failure.text())), ui::MessageIcon::Warning);
    } else if (!made.secondFailure.ok()) {
        say(tr8(text::kSecondFailed).arg(fromUtf8(made.secondFailure.text())),
            ui::MessageIcon::Warning);
    } else {
        say(tr8(text::kBackedUp), ui::MessageIcon::Information);
    }
}

void BackupWindowActions::restoreSelected() {
    const QList<int> rows = window_.超级列表框备份->selectedRows();
    if (rows.isEmpty() || rows.first() >= static_cast<int>(backups_.size())) {
        say(tr8(text::kChooseBackup), ui::MessageIcon::Warning);
        return;
    }
    const BackupInfo chosen = backups_[static_cast<std::size_t>(rows.first())];
    if (!chosen.verified) {
        say(tr8(text::kNotVerified), ui::MessageIcon::Warning);
        return;
    }
    QString question =
        tr8(text::kAskRestore).arg(timeText(chosen.time)).arg(chosen.ledgerEntries());
    QStringList missing;
    for (const TableCopy& t : chosen.tables)
        if (!t.present) missing << fromUtf8(t.fileName);
    if (!missing.isEmpty())
        question += tr8(text::kKeptTables).arg(missing.join(QStringLiteral("、")));
    if (!ui::dialogs().question(question)) return;

    RestoreRequest request;
    request.tablesDir = places_.tablesDir;
    request.backupPath = chosen.path;
    request.secondRoot = toUtf8(secondBackupFolder());
    request.clock = places_.clock;
    const RestoreOutcome restored = restoreBackup(request);
    bool done = restored.failure.ok();
    QString failure = fromUtf8(restored.failure.text());
    bool pending = restored.pending;
    if (pending) {
        // One more go at once: what stopped it may have passed.
        const RecoveryOutcome again = recoverRestore(places_.tablesDir);
        pending = again.result == Recovery::Failed;
        done = again.result == Recovery::Completed;
    }
    fillBackupList();
    if (done) {
        if (afterRestore_) afterRestore_();
        say(tr8(text::kRestored), ui::MessageIcon::Information);
    } else if (pending) {
        say(tr8(text::kRestorePending).arg(failure), ui::MessageIcon::Error);
    } else {
        say(tr8(text::kRestoreFailed).arg(failure), ui::MessageIcon::Error);
    }
}

void BackupWindowActions::chooseSecondPlace() {
    const QString folder = chooseFolder_(secondBackupFolder());
    if (folder.isEmpty()) return;
    setSecondBackupFolder(QDir::fromNativeSeparators(folder));
    showSecondPlace();
}

void BackupWindowActions::forgetSecondPlace() {
    setSecondBackupFolder(QString());
    showSecondPlace();
}

void openBackupWindow(QWidget* owner, std::function<void()> afterRestore, BackupPlaces places) {
    ui::BackupWindow window(owner);
    window.setWindowModality(Qt::ApplicationModal);
    ui::placeUnderOwner(&window, owner);
    new BackupWindowActions(window, std::move(places), std::move(afterRestore));
    window.exec();
}

void finishUnfinishedRestore(const BackupPlaces& places) {
    const RecoveryOutcome r = recoverRestore(places.tablesDir);
    if (r.result == Recovery::Completed) {
        say(tr8(text::kRecovered), ui::MessageIcon::Information);
    } else if (r.result == Recovery::Failed) {
        say(tr8(text::kRecoveryFailed).arg(fromUtf8(r.failure.text())), ui::MessageIcon::Error);
    }
}

void backUpOncePerDay(const BackupPlaces& places) {
    Clock& clock = places.clock ? *places.clock : systemClock();
    const std::string root = places.root();
    if (backedUpOn(root, clock.now())) return;
    BackupRequest request;
    request.tablesDir = places.tablesDir;
    request.root = root;
    request.secondRoot = toUtf8(secondBackupFolder());
    request.clock = &clock;
    const BackupOutcome made = makeBackup(request);
    if (!made.failure.ok()) {
        say(tr8(text::kDailyBackupFailed).arg(fromUtf8(made.failure.text())),
            ui::MessageIcon::Warning);
    } else if (!made.secondFailure.ok()) {
        say(tr8(text::kDailySecondFailed).arg(fromUtf8(made.secondFailure.text())),
            ui::MessageIcon::Warning);
    }
}

}  // namespace backup
