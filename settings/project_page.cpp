#include "settings/project_page.h"

#include "settings/date_lists.h"
#include "settings/text_limits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <cstdio>

namespace zentra {
namespace {

QString FromText(const std::string& text) {
    // Texts written elsewhere may carry CR LF line ends; the edit wants plain LF.
    QString result = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

std::string ToText(const QString& text) {
    return text.toLatin1().toStdString();
}

QLabel* SunkenStatic(const char* id, const char* initial, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(initial), parent);
    label->setObjectName(QString::fromLatin1(id));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(56);
    return label;
}

// "Day", "Month", "Year" captions over three date controls, under a heading.
QGridLayout* DateGrid(const QString& heading, QWidget* day, QWidget* month, QWidget* year,
                      QWidget* parent) {
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(heading, parent), 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Day"), parent), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Month"), parent), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Year"), parent), 1, 2);
    grid->addWidget(day, 2, 0);
    grid->addWidget(month, 2, 1);
    grid->addWidget(year, 2, 2);
    return grid;
}

} // namespace

ProjectPP::ProjectPP(const ProjectPageData& data, QWidget* parent) : QWidget(parent), data_(data) {
    setObjectName(QStringLiteral("ProjectPP"));
    BuildControls();
    OnInitDialog();
}

void ProjectPP::BuildControls() {
    showCheck_ = new QCheckBox(QStringLiteral("Display Project Settings"), this);
    showCheck_->setObjectName(QStringLiteral("1067"));

    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("1038"));
    LimitLength(*name_, kNameMaxChars);

    startDay_ = new QComboBox(this);
    startDay_->setObjectName(QStringLiteral("1037"));
    startMonth_ = new QComboBox(this);
    startMonth_->setObjectName(QStringLiteral("1035"));
    startYear_ = new QComboBox(this);
    startYear_->setObjectName(QStringLiteral("1033"));
    for (QComboBox* list : {startDay_, startMonth_, startYear_}) {
        list->setMaxVisibleItems(12);
        connect(list, &QComboBox::activated, this, &ProjectPP::OnDateChanged);
    }

    endDay_ = SunkenStatic("1129", "01", this);
    endMonth_ = SunkenStatic("1131", "Jan", this);
    endYear_ = SunkenStatic("1132", "2009", this);

    brief_ = new QLineEdit(this);
    brief_->setObjectName(QStringLiteral("1069"));
    LimitLength(*brief_, kBriefMaxChars);

    description_ = new QPlainTextEdit(this);
    description_->setObjectName(QStringLiteral("1002"));
    description_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    description_->setMinimumHeight(180);
    LimitLength(*description_, kDescriptionMaxChars);

    connect(showCheck_, &QCheckBox::clicked, this,
            [this](bool checked) { data_.m_ShowCheck = checked ? 1 : 0; });

    auto* dates = new QHBoxLayout;
    dates->addLayout(
        DateGrid(QStringLiteral("Project Start Date"), startDay_, startMonth_, startYear_, this));
    dates->addSpacing(40);
    dates->addLayout(
        DateGrid(QStringLiteral("Project End Date"), endDay_, endMonth_, endYear_, this));
    dates->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(showCheck_);
    layout->addSpacing(6);
    layout->addWidget(new QLabel(QStringLiteral("Project Name (100 characters max)"), this));
    layout->addWidget(name_);
    layout->addSpacing(6);
    layout->addLayout(dates);
    layout->addSpacing(6);
    layout->addWidget(
        new QLabel(QStringLiteral("Brief Project Description (100 characters max)"), this));
    layout->addWidget(brief_);
    layout->addSpacing(6);
    layout->addWidget(
        new QLabel(QStringLiteral("Full Project Description (1000 characters max)"), this));
    layout->addWidget(description_, 1);
}

void ProjectPP::OnInitDialog() {
    name_->setText(FromText(data_.m_NameText));
    brief_->setText(FromText(data_.m_BriefText));
    description_->setPlainText(FromText(data_.m_DescriptionText));
    showCheck_->setChecked(data_.m_ShowCheck == 1);

    const DateParts start = SplitDayNumber(data_.m_PageStart);
    data_.m_PageStartDay = start.day;
    data_.m_PageStartMonth = start.month;
    data_.m_PageStartYear = start.year;
    const DateParts end = SplitDayNumber(data_.m_PageEnd);
    data_.m_PageEndDay = end.day;
    data_.m_PageEndMonth = end.month;
    data_.m_PageEndYear = end.year;
    FillStartLists();
    ShowEndDate();

    if (data_.m_PageLocked == 1) {
        for (QWidget* control : std::initializer_list<QWidget*>{startDay_, startMonth_, startYear_,
                                                                name_, brief_, description_})
            control->setEnabled(false);
    }
}

void ProjectPP::showEvent(QShowEvent* event) {
    data_.m_PageShown = 1;
    QWidget::showEvent(event);
}

void ProjectPP::FillStartLists() {
    FillDateLists(*startDay_, *startMonth_, *startYear_,
                  DateParts{data_.m_PageStartDay, data_.m_PageStartMonth, data_.m_PageStartYear});
}

void ProjectPP::ShowEndDate() {
    char text[kNumberTextCapacity] = {};
    std::snprintf(text, sizeof text, "%.2d", data_.m_PageEndDay);
    endDay_->setText(QString::fromLatin1(text));
    char month[kNameCapacity] = {};
    GetSystemDate::MonthName(data_.m_PageEndMonth - 1, month, sizeof month);
    if (month[0] != '\0') // an unknown month leaves the static as it was
        endMonth_->setText(QString::fromLatin1(month));
    std::snprintf(text, sizeof text, "%.4d", data_.m_PageEndYear);
    endYear_->setText(QString::fromLatin1(text));
}

void ProjectPP::OnDateChanged() {
    ApplyStartDateChange(data_, startDay_->currentIndex(), startMonth_->currentIndex(),
                         startYear_->currentIndex(), ToText(endDay_->text()),
                         ToText(endMonth_->text()), ToText(endYear_->text()));
    FillStartLists();
    ShowEndDate();
}

ProjectPageData ProjectPP::Result() const {
    ProjectPageData result = data_;
    result.m_NameText = ToText(name_->text());
    result.m_BriefText = ToText(brief_->text());
    result.m_DescriptionText = ToText(description_->toPlainText());
    result.m_ShowCheck = showCheck_->isChecked() ? 1 : 0;
    return result;
}

} // namespace zentra
