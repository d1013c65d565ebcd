#include "date_picker.h"

#include <QCalendarWidget>
#include <algorithm>
#include <cmath>

namespace ui {
namespace {

constexpr double kFirstDay = -657434.0;  // 1 January 100
constexpr double kLastDay = 2958465.0;   // 31 December 9999
constexpr qint64 kMsecsPerDay = 86400000;

QDate epoch() { return QDate(1899, 12, 30); }

}  // namespace

DatePicker::DatePicker(QWidget* parent) : QDateTimeEdit(parent) {
    setDisplayFormat(QStringLiteral("yyyy年M月d日"));
    setCalendarPopup(true);
    setMinimumDate(QDate(100, 1, 1));
    setMaximumDate(QDate(9999, 12, 31));
    setDateTime(QDateTime::currentDateTime());
    calendarWidget()->setGridVisible(true);
    shown_ = value();
    // Qt reports the date again on Enter even when it stays the same; only
    // a change is one.
    connect(this, &QDateTimeEdit::dateTimeChanged, this, [this] {
        const double now = value();
        if (now == shown_) return;
        shown_ = now;
        emit valueChanged(now);
    });
}

double DatePicker::value() const { return toDays(dateTime()); }

void DatePicker::setValue(double days) { setDateTime(fromDays(days)); }

double DatePicker::toDays(const QDateTime& dateTime) {
    const double day = static_cast<double>(epoch().daysTo(dateTime.date()));
    const double fraction =
        static_cast<double>(dateTime.time().msecsSinceStartOfDay()) / kMsecsPerDay;
    return day >= 0 ? day + fraction : day - fraction;
}

QDateTime DatePicker::fromDays(double days) {
    if (std::isnan(days)) days = 0;
    days = std::clamp(days, kFirstDay, kLastDay + 0.99999);
    const double day = std::trunc(days);
    qint64 msecs = std::llround(std::fabs(days - day) * kMsecsPerDay);
    QDate date = epoch().addDays(static_cast<qint64>(day));
    if (msecs >= kMsecsPerDay) {
        // Rounded up to midnight: that is the next calendar day.
        date = date.addDays(1);
        msecs = 0;
    }
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs)));
}

}  // namespace ui
