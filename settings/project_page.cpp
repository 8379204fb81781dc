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
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding); // as tall as a list
    return label;
}

// Start and end dates side by side in one grid, so that their rows line up:
// a heading, then "Day", "Month", "Year" captions over the three controls.
QGridLayout* DatesGrid(QWidget* const (&start)[3], QWidget* const (&end)[3], QWidget* parent) {
    constexpr int kEndColumn = 4;
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Project Start Date"), parent), 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Project End Date"), parent), 0, kEndColumn, 1, 3);
    const char* captions[] = {"Day", "Month", "Year"};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(QString::fromLatin1(captions[i]), parent), 1, i);
        grid->addWidget(new QLabel(QString::fromLatin1(captions[i]), parent), 1, kEndColumn + i);
        grid->addWidget(start[i], 2, i);
        grid->addWidget(end[i], 2, kEndColumn + i);
    }
    grid->setColumnMinimumWidth(3, 40);
    grid->setColumnStretch(kEndColumn + 3, 1);
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

    QWidget* const startLists[] = {startDay_, startMonth_, startYear_};
    QWidget* const endStatics[] = {endDay_, endMonth_, endYear_};
    QGridLayout* dates = DatesGrid(startLists, endStatics, this);

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
