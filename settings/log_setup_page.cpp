#include "settings/log_setup_page.h"

#include "platform/message_box.h"
#include "settings/date_lists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <string>

namespace zentra {
namespace {

constexpr int kHours = 24;
constexpr int kMinutesOrSeconds = 60;
// Six digits take every allowed value and show a wrong one for what it is.
constexpr int kTimingValueDigits = 6;

template <typename Widget> Widget* Named(Widget* widget, const char* id) {
    widget->setObjectName(QString::fromLatin1(id));
    return widget;
}

QComboBox* UnitList(const char* id, QWidget* parent) {
    auto* list = Named(new QComboBox(parent), id);
    for (const char* unit : kTimeUnitNames)
        list->addItem(QString::fromLatin1(unit));
    return list;
}

QLineEdit* ValueEdit(const char* id, QWidget* parent) {
    auto* edit = Named(new QLineEdit(parent), id);
    edit->setMaxLength(kTimingValueDigits);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setMaximumWidth(90);
    return edit;
}

long long EditValue(const QLineEdit& edit) {
    return LeadingNumber(edit.text().toStdString());
}

std::int32_t ToInt32(long long value) {
    return static_cast<std::int32_t>(std::min<long long>(value, INT32_MAX));
}

void Repopulate(QListWidget& list, const std::vector<std::string>& labels, int selection) {
    const QSignalBlocker block(list);
    list.clear();
    for (const std::string& label : labels)
        list.addItem(QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size())));
    list.setCurrentRow(selection);
}

} // namespace

LogSetupPP::LogSetupPP(const LogSetupData& data, QWidget* parent) : QWidget(parent), data_(data) {
    setObjectName(QStringLiteral("LogSetupPP"));
    BuildControls();
    OnInitDialog();
}

void LogSetupPP::BuildControls() {
    availableList_ = Named(new QListWidget(this), "1094");
    printableList_ = Named(new QListWidget(this), "1096");
    for (QListWidget* list : {availableList_, printableList_}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setMinimumHeight(200);
    }
    auto* moveRight = Named(new QPushButton(QStringLiteral(">>"), this), "1098");
    auto* moveLeft = Named(new QPushButton(QStringLiteral("<<"), this), "1100");
    auto* clear = Named(new QPushButton(QStringLiteral("Clear"), this), "1102");

    day_ = Named(new QComboBox(this), "1115");
    month_ = Named(new QComboBox(this), "1113");
    year_ = Named(new QComboBox(this), "1117");
    hour_ = Named(new QComboBox(this), "1119");
    minute_ = Named(new QComboBox(this), "1121");
    second_ = Named(new QComboBox(this), "1123");
    delayed_ = Named(new QCheckBox(QStringLiteral("Delayed Start"), this), "1125");

    frequency_ = ValueEdit("1104", this);
    frequencyUnit_ = UnitList("1108", this);
    duration_ = ValueEdit("1106", this);
    durationUnit_ = UnitList("1110", this);
    samples_ = Named(new QLabel(this), "1127");

    connect(moveRight, &QPushButton::clicked, this, &LogSetupPP::OnMoveRight);
    connect(moveLeft, &QPushButton::clicked, this, &LogSetupPP::OnMoveLeft);
    connect(clear, &QPushButton::clicked, this, &LogSetupPP::OnClear);
    connect(availableList_, &QListWidget::currentRowChanged, this,
            [this](int row) { lists_.availableSelection = row; });
    connect(printableList_, &QListWidget::currentRowChanged, this,
            [this](int row) { lists_.printableSelection = row; });
    for (QComboBox* list : {day_, month_, year_, hour_, minute_, second_}) {
        list->setMaxVisibleItems(12);
        connect(list, &QComboBox::activated, this, &LogSetupPP::OnDateTimeChanged);
    }
    connect(delayed_, &QCheckBox::clicked, this, &LogSetupPP::ApplyDelayedStart);
    connect(frequency_, &QLineEdit::textChanged, this, &LogSetupPP::UpdateSampleLine);
    connect(duration_, &QLineEdit::textChanged, this, &LogSetupPP::UpdateSampleLine);
    connect(frequencyUnit_, &QComboBox::currentIndexChanged, this, &LogSetupPP::UpdateSampleLine);
    connect(durationUnit_, &QComboBox::currentIndexChanged, this, &LogSetupPP::UpdateSampleLine);

    // Tab goes as the eye reads the page: the offered list, the buttons beside it, the
    // printable list, the start date and time, then the timing values.
    QWidget* const tabOrder[] = {availableList_, moveRight,      moveLeft,  clear,
                                 printableList_, day_,           month_,    year_,
                                 hour_,          minute_,        second_,   delayed_,
                                 frequency_,     frequencyUnit_, duration_, durationUnit_};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // Parameter lists with the move buttons between them.
    auto* buttons = new QVBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(moveRight);
    buttons->addWidget(moveLeft);
    buttons->addSpacing(12);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("Available Parameters"), this), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("Printable Logging Parameters"), this), 0, 2);
    lists->addWidget(availableList_, 1, 0);
    lists->addLayout(buttons, 1, 1);
    lists->addWidget(printableList_, 1, 2);
    lists->setColumnStretch(0, 1);
    lists->setColumnStretch(2, 1);

    auto* date = new QGroupBox(QStringLiteral("Start Date"), this);
    auto* dateGrid = new QGridLayout(date);
    auto* time = new QGroupBox(QStringLiteral("Start Time (24h format)"), this);
    auto* timeGrid = new QGridLayout(time);
    const char* dateCaptions[] = {"Day", "Month", "Year"};
    const char* timeCaptions[] = {"Hour", "Min", "Sec"};
    QComboBox* dateLists[] = {day_, month_, year_};
    QComboBox* timeLists[] = {hour_, minute_, second_};
    for (int i = 0; i < 3; ++i) {
        dateGrid->addWidget(new QLabel(QString::fromLatin1(dateCaptions[i]), date), 0, i);
        dateGrid->addWidget(dateLists[i], 1, i);
        timeGrid->addWidget(new QLabel(QString::fromLatin1(timeCaptions[i]), time), 0, i);
        timeGrid->addWidget(timeLists[i], 1, i);
    }
    auto* start = new QHBoxLayout;
    start->addWidget(date);
    start->addWidget(time);

    auto* timing = new QGridLayout;
    timing->addWidget(new QLabel(QStringLiteral("Log Frequency"), this), 0, 0);
    timing->addWidget(frequency_, 0, 1);
    timing->addWidget(frequencyUnit_, 0, 2);
    timing->addWidget(new QLabel(QStringLiteral("Log Duration"), this), 1, 0);
    timing->addWidget(duration_, 1, 1);
    timing->addWidget(durationUnit_, 1, 2);
    timing->addWidget(samples_, 0, 3, 2, 1);
    timing->setColumnMinimumWidth(3, 260);
    timing->setColumnStretch(3, 1);
    timing->setHorizontalSpacing(10);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addSpacing(6);
    layout->addLayout(start);
    layout->addWidget(delayed_);
    layout->addSpacing(6);
    layout->addLayout(timing);
}

void LogSetupPP::OnInitDialog() {
    data_.settingsValid = 1;
    const DateParts start = SplitDayNumber(data_.startDate);
    FillDateTimeLists(start.day, start.month, start.year);
    delayed_->setChecked(data_.delayedStart != 0);
    ApplyDelayedStart();

    lists_ = InitialLists(data_.offeredLabels, data_.printableLabels);
    ShowLists();

    {
        // One count once every value is in place.
        const QSignalBlocker b1(frequency_), b2(duration_), b3(frequencyUnit_), b4(durationUnit_);
        frequency_->setText(QString::number(data_.frequency));
        duration_->setText(QString::number(data_.duration));
        frequencyUnit_->setCurrentIndex(data_.frequencyUnit);
        durationUnit_->setCurrentIndex(data_.durationUnit);
    }
    UpdateSampleLine();

    if (data_.locked != 0) {
        for (QWidget* control :
             std::initializer_list<QWidget*>{day_, month_, year_, hour_, minute_, second_, delayed_,
                                             frequency_, duration_, frequencyUnit_, durationUnit_})
            control->setEnabled(false);
    }
}

void LogSetupPP::FillDateTimeLists(int day, int month, int year) {
    FillDateLists(*day_, *month_, *year_, DateParts{day, month, year});
    FillTwoDigitList(*hour_, kHours, data_.startHour);
    FillTwoDigitList(*minute_, kMinutesOrSeconds, data_.startMinute);
    FillTwoDigitList(*second_, kMinutesOrSeconds, data_.startSecond);
}

void LogSetupPP::ApplyDelayedStart() {
    const bool delayed = delayed_->isChecked();
    data_.delayedStart = delayed ? 1 : 0;
    if (data_.locked != 0)
        return; // everything timing-related stays disabled
    for (QComboBox* list : {day_, month_, year_, hour_, minute_, second_})
        list->setEnabled(delayed);
}

void LogSetupPP::OnDateTimeChanged() {
    const DateParts date =
        PartsFromPositions(day_->currentIndex(), month_->currentIndex(), year_->currentIndex());
    data_.startDate = DayNumberFromParts(date);
    data_.startHour = hour_->currentIndex();
    data_.startMinute = minute_->currentIndex();
    data_.startSecond = second_->currentIndex();
    FillDateTimeLists(date.day, date.month, date.year);
}

void LogSetupPP::UpdateSampleLine() {
    const SampleCount count = CountSamples(EditValue(*frequency_), frequencyUnit_->currentIndex(),
                                           EditValue(*duration_), durationUnit_->currentIndex());
    if (count.periodWasZero) {
        // A zero period would mean no end of samples; it is taken as 1, and the edit
        // keeps that "1" selected so that the next key typed replaces it.
        frequency_->setText(QStringLiteral("1"));
        frequency_->selectAll();
    }
    samples_->setText(QString::fromStdString(SampleLine(count.samples)));
}

void LogSetupPP::ShowLists() {
    Repopulate(*availableList_, lists_.availableList, lists_.availableSelection);
    Repopulate(*printableList_, lists_.printableList, lists_.printableSelection);
}

void LogSetupPP::OnMoveRight() {
    if (MoveToPrintable(lists_) == MoveResult::ListFull) {
        platform::ShowMessage(kListFullText, kListFullCaption, platform::MessageButtons::Ok,
                              platform::MessageIcon::Warning);
        return;
    }
    ShowLists();
}

void LogSetupPP::OnMoveLeft() {
    MoveToAvailable(lists_);
    ShowLists();
}

void LogSetupPP::OnClear() {
    ClearPrintable(lists_, data_.offeredLabels);
    ShowLists();
}

bool LogSetupPP::CheckRange(QLineEdit& edit, const char* name) {
    static const QRegularExpression kWholeNumber(QStringLiteral("^\\s*[0-9]+\\s*$"));
    const QString text = edit.text();
    const long long value = EditValue(edit);
    if (kWholeNumber.match(text).hasMatch() && value >= kTimingValueMin && value <= kTimingValueMax)
        return true;
    const std::string message = std::string(name) + " must be a whole number from " +
                                std::to_string(kTimingValueMin) + " to " +
                                std::to_string(kTimingValueMax) + ".";
    platform::ShowMessage(message, "", platform::MessageButtons::Ok,
                          platform::MessageIcon::Warning);
    edit.setFocus(Qt::OtherFocusReason);
    edit.selectAll();
    return false;
}

bool LogSetupPP::OnKillActive() {
    // A locked project's values cannot be changed here, so they are not judged here.
    if (data_.locked != 0)
        return true;
    return CheckRange(*frequency_, "Log Frequency") && CheckRange(*duration_, "Log Duration");
}

LogSetupData LogSetupPP::Result() const {
    LogSetupData result = data_;
    result.printableLabels = PrintableSlots(lists_);
    result.frequency = ToInt32(EditValue(*frequency_));
    result.duration = ToInt32(EditValue(*duration_));
    result.frequencyUnit = frequencyUnit_->currentIndex();
    result.durationUnit = durationUnit_->currentIndex();
    result.delayedStart = delayed_->isChecked() ? 1 : 0;
    FinishLogSetup(result);
    return result;
}

} // namespace zentra
