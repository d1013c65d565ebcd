// A date box with a calendar drop-down. Its value is the program's date-time:
// days since 30 December 1899, the fraction being the time of day (before that
// day the integer part counts back and the fraction still runs forward, so
// -1.25 is 29 December 1899, 06:00). A new picker holds the current date and
// time; it shows the day only.
#pragma once

#include <QDateTime>
#include <QDateTimeEdit>

namespace ui {

class DatePicker : public QDateTimeEdit {
    Q_OBJECT
  public:
    explicit DatePicker(QWidget* parent = nullptr);

    double value() const;
    // Values outside 1 January 100 … 31 December 9999 are clamped.
    void setValue(double days);

    static double toDays(const QDateTime& dateTime);
    static QDateTime fromDays(double days);

  signals:
    // Every change of the date (by the operator or by setValue).
    void valueChanged(double days);

  private:
    double shown_ = 0;  // the value last reported
};

}  // namespace ui
