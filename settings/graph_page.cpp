#include "settings/graph_page.h"

#include "platform/message_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <string>

namespace zentra {
namespace {

// Control ids of the four columns, left to right.
struct ColumnIds {
    int title;
    std::array<int, kTracesPerGraph> source;
    std::array<int, kTracesPerGraph> colour;
    int gridY, centreZero, relative, yScale, gridX, realTime, logMode, graph, text, timeBase,
        enable;
};
constexpr std::array<ColumnIds, kGraphsPerPage> kIds{{
    {1025,
     {1004, 1005, 1006},
     {1029, 1030, 1031},
     1058,
     1068,
     1073,
     1116,
     1039,
     1080,
     1090,
     1124,
     1091,
     1092,
     1021},
    {1026,
     {1012, 1013, 1014},
     {1032, 1034, 1036},
     1060,
     1070,
     1074,
     1118,
     1040,
     1099,
     1105,
     1126,
     1111,
     1093,
     1022},
    {1027,
     {1015, 1016, 1017},
     {1044, 1046, 1048},
     1061,
     1071,
     1075,
     1120,
     1042,
     1101,
     1107,
     1128,
     1112,
     1095,
     1023},
    {1028,
     {1018, 1019, 1020},
     {1051, 1053, 1055},
     1062,
     1072,
     1076,
     1122,
     1057,
     1103,
     1109,
     1130,
     1114,
     1097,
     1024},
}};

constexpr int kEditWidth = 56; // px; five digits with room to spare

template <typename Widget> Widget* Named(Widget* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Sub-boxes of a column, kept tight so that four columns fit a small screen.
void Tighten(QLayout* layout) {
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(3);
}

QLineEdit* NumberEdit(int id, int maxChars, QWidget* parent) {
    auto* edit = Named(new QLineEdit(parent), id);
    edit->setMaxLength(maxChars);
    edit->setFixedWidth(kEditWidth);
    return edit;
}

// An entry the list does not hold shows as its first one ("OFF", "Black").
int ListPosition(int value, const QComboBox& list) {
    return (value >= 0 && value < list.count()) ? value : 0;
}

} // namespace

GraphPP::GraphPP(GraphPageData& data, QWidget* parent) : QWidget(parent), data_(data) {
    setObjectName(QStringLiteral("GraphPP"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    for (int j = 0; j < kGraphsPerPage; ++j) {
        layout->addWidget(BuildColumn(j), 1);
        Connect(j);
    }
}

GraphPP::~GraphPP() {
    if (opened_)
        Synchronise();
}

QGroupBox* GraphPP::BuildColumn(int j) {
    const ColumnIds& id = kIds[static_cast<std::size_t>(j)];
    Column& c = columns_[static_cast<std::size_t>(j)];
    c.title = Named(new QGroupBox(QStringLiteral("Graph %1").arg(j + 1), this), id.title);
    QGroupBox* box = c.title;

    // "Trace n" over its source and colour lists keeps the column narrow.
    auto* traces = new QGridLayout;
    traces->setHorizontalSpacing(4);
    traces->setVerticalSpacing(1);
    for (int t = 0; t < kTracesPerGraph; ++t) {
        const auto ti = static_cast<std::size_t>(t);
        traces->addWidget(new QLabel(QStringLiteral("Trace %1").arg(t + 1), box), 2 * t, 0);
        c.source[ti] = Named(new QComboBox(box), id.source[ti]);
        c.colour[ti] = Named(new QComboBox(box), id.colour[ti]);
        c.source[ti]->setMaxVisibleItems(24);
        c.source[ti]->setMinimumContentsLength(11);
        c.source[ti]->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c.colour[ti]->setMinimumContentsLength(7);
        c.colour[ti]->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        traces->addWidget(c.source[ti], 2 * t + 1, 0);
        traces->addWidget(c.colour[ti], 2 * t + 1, 1);
    }
    traces->setColumnStretch(0, 3);
    traces->setColumnStretch(1, 2);

    auto* yAxis = new QGroupBox(QStringLiteral("Y - Axis"), box);
    c.gridY = Named(new QCheckBox(QStringLiteral("Grid On"), yAxis), id.gridY);
    c.centreZero = Named(new QCheckBox(QStringLiteral("Centre Zero"), yAxis), id.centreZero);
    c.relative = Named(new QCheckBox(QStringLiteral("Relative Scale"), yAxis), id.relative);
    c.yScale = NumberEdit(id.yScale, kYScaleChars, yAxis);
    auto* yGrid = new QGridLayout(yAxis);
    Tighten(yGrid);
    yGrid->addWidget(c.gridY, 0, 0);
    yGrid->addWidget(c.centreZero, 0, 1, 1, 2);
    yGrid->addWidget(c.relative, 1, 0, 1, 3);
    yGrid->addWidget(new QLabel(QStringLiteral("Y Scale"), yAxis), 2, 0);
    yGrid->addWidget(c.yScale, 2, 1);
    yGrid->setColumnStretch(2, 1);

    auto* xAxis = new QGroupBox(QStringLiteral("X - Axis"), box);
    c.gridX = Named(new QCheckBox(QStringLiteral("Grid On"), xAxis), id.gridX);
    c.timeBase = NumberEdit(id.timeBase, kTimeBaseChars, xAxis);
    auto* xGrid = new QGridLayout(xAxis);
    Tighten(xGrid);
    xGrid->addWidget(c.gridX, 0, 0, 1, 3);
    xGrid->addWidget(new QLabel(QStringLiteral("Time Base Unit"), xAxis), 1, 0);
    xGrid->addWidget(c.timeBase, 1, 1);
    xGrid->setColumnStretch(2, 1);

    // Each pair sits in a box of its own, so the two pairs never exclude each other.
    auto* mode = new QGroupBox(QStringLiteral("Mode"), box);
    c.realTime = Named(new QRadioButton(QStringLiteral("Real Time"), mode), id.realTime);
    c.logMode = Named(new QRadioButton(QStringLiteral("Log Mode"), mode), id.logMode);
    auto* modeRow = new QHBoxLayout(mode);
    Tighten(modeRow);
    modeRow->addWidget(c.realTime);
    modeRow->addWidget(c.logMode);
    modeRow->addStretch(1);

    auto* display = new QGroupBox(box);
    c.graph = Named(new QRadioButton(QStringLiteral("Graph"), display), id.graph);
    c.text = Named(new QRadioButton(QStringLiteral("Text"), display), id.text);
    auto* displayRow = new QHBoxLayout(display);
    Tighten(displayRow);
    displayRow->addWidget(c.graph);
    displayRow->addWidget(c.text);
    displayRow->addStretch(1);

    c.enable = Named(new QCheckBox(QStringLiteral("Enable"), box), id.enable);

    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(6, 4, 6, 6);
    column->setSpacing(5);
    column->addLayout(traces);
    column->addWidget(yAxis);
    column->addWidget(xAxis);
    column->addWidget(mode);
    column->addWidget(display);
    column->addWidget(c.enable);
    column->addStretch(1);
    return box;
}

void GraphPP::Connect(int j) {
    Column& c = columns_[static_cast<std::size_t>(j)];
    GraphColumn& d = data_.columns[static_cast<std::size_t>(j)];
    connect(c.enable, &QCheckBox::clicked, this, [&c, &d] { d.enabled = c.enable->isChecked(); });
    connect(c.gridX, &QCheckBox::clicked, this, [&c, &d] { d.gridX = c.gridX->isChecked(); });
    connect(c.gridY, &QCheckBox::clicked, this, [&c, &d] { d.gridY = c.gridY->isChecked(); });
    connect(c.centreZero, &QCheckBox::clicked, this,
            [&c, &d] { d.centreZero = c.centreZero->isChecked(); });
    connect(c.relative, &QCheckBox::clicked, this, [&c, &d] {
        d.relative = c.relative->isChecked();
        c.yScale->setEnabled(!d.relative);
    });
    connect(c.realTime, &QRadioButton::clicked, this, [&c, &d] {
        c.logMode->setChecked(!c.realTime->isChecked());
        d.realTime = c.realTime->isChecked();
    });
    connect(c.logMode, &QRadioButton::clicked, this, [&c, &d] {
        c.realTime->setChecked(!c.logMode->isChecked());
        d.realTime = !c.logMode->isChecked();
    });
    connect(c.graph, &QRadioButton::clicked, this, [&c, &d] {
        c.text->setChecked(!c.graph->isChecked());
        d.graphMode = c.graph->isChecked();
    });
    connect(c.text, &QRadioButton::clicked, this, [&c, &d] {
        c.graph->setChecked(!c.text->isChecked());
        d.graphMode = !c.text->isChecked();
    });
    for (std::size_t t = 0; t < kTracesPerGraph; ++t) {
        connect(c.source[t], &QComboBox::activated, this, &GraphPP::ReadTraceRows);
        connect(c.colour[t], &QComboBox::activated, this, &GraphPP::ReadTraceRows);
    }
}

void GraphPP::OnInitDialog() {
    for (std::size_t j = 0; j < kGraphsPerPage; ++j) {
        Column& c = columns_[j];
        const GraphColumn& d = data_.columns[j];
        for (std::size_t t = 0; t < kTracesPerGraph; ++t) {
            c.colour[t]->clear();
            for (const TraceColour& colour : TraceColours)
                c.colour[t]->addItem(QString::fromLatin1(colour.name));
            c.source[t]->clear();
            for (const std::string& label : data_.sources)
                c.source[t]->addItem(Latin1(label));
            if (const auto& kept = d.kept[t]) {
                c.source[t]->addItem(Latin1(NotOfferedLabel(kept->heading)));
                c.source[t]->setItemData(
                    c.source[t]->count() - 1,
                    QStringLiteral("Not offered by this meter: kept as it is unless you choose "
                                   "another reading"),
                    Qt::ToolTipRole);
            }
        }
        c.timeBase->setText(QString::number(d.timeBase));
        c.yScale->setText(Latin1(FormatYScale(d.yScale)));
        // A document read from a file has no live readings to show.
        if (data_.archived)
            c.realTime->setEnabled(false);
    }
    Synchronise();
}

void GraphPP::Synchronise() {
    for (std::size_t j = 0; j < kGraphsPerPage; ++j) {
        Column& c = columns_[j];
        GraphColumn& d = data_.columns[j];
        for (std::size_t t = 0; t < kTracesPerGraph; ++t) {
            c.colour[t]->setCurrentIndex(ListPosition(d.colour[t], *c.colour[t]));
            c.source[t]->setCurrentIndex(ListPosition(d.source[t], *c.source[t]));
        }
        c.enable->setChecked(d.enabled);
        c.realTime->setChecked(d.realTime);
        c.logMode->setChecked(!d.realTime);
        c.graph->setChecked(d.graphMode);
        c.text->setChecked(!d.graphMode);
        c.centreZero->setChecked(d.centreZero);
        c.gridX->setChecked(d.gridX);
        c.gridY->setChecked(d.gridY);
        c.relative->setChecked(d.relative);
        c.yScale->setEnabled(!d.relative);
        d.timeBase = LeadingInteger(c.timeBase->text().left(kTimeBaseChars).toStdString());
        d.yScale = LeadingDouble(c.yScale->text().left(kYScaleChars).toStdString());
        c.title->setTitle(
            QStringLiteral("Graph %1").arg(data_.firstGraph + static_cast<int>(j) + 1));
    }
}

void GraphPP::ReadTraceRows() {
    for (std::size_t j = 0; j < kGraphsPerPage; ++j) {
        Column& c = columns_[j];
        GraphColumn& d = data_.columns[j];
        for (std::size_t t = 0; t < kTracesPerGraph; ++t) {
            d.colour[t] = ListPosition(c.colour[t]->currentIndex(), *c.colour[t]);
            d.source[t] = ListPosition(c.source[t]->currentIndex(), *c.source[t]);
            d.heading[t] = c.source[t]->itemText(d.source[t]).toStdString();
        }
    }
}

void GraphPP::OnOK() {
    if (opened_)
        ReadTraceRows();
}

bool GraphPP::CheckColumn(int j) {
    Column& c = columns_[static_cast<std::size_t>(j)];
    struct Check {
        QLineEdit* edit;
        const char* name;
        int min, max;
    };
    for (const Check& check : {Check{c.yScale, "Y Scale", kYScaleMin, kYScaleMax},
                               Check{c.timeBase, "Time Base Unit", kTimeBaseMin, kTimeBaseMax}}) {
        if (WholeNumberIn(check.edit->text().toStdString(), check.min, check.max))
            continue;
        const std::string message = std::string(check.name) + " must be a whole number from " +
                                    std::to_string(check.min) + " to " + std::to_string(check.max) +
                                    ".";
        platform::ShowMessage(message, "", platform::MessageButtons::Ok,
                              platform::MessageIcon::Warning);
        if (check.edit->isEnabled()) {
            check.edit->setFocus(Qt::OtherFocusReason);
            check.edit->selectAll();
        } else {
            // A "Y Scale" greyed out by "Relative Scale": that box is what frees it.
            c.relative->setFocus(Qt::OtherFocusReason);
        }
        return false;
    }
    return true;
}

bool GraphPP::OnKillActive() {
    // A page never shown holds the document's values untouched and is not judged.
    if (!opened_)
        return true;
    for (int j = 0; j < kGraphsPerPage; ++j)
        if (!CheckColumn(j))
            return false;
    return true;
}

void GraphPP::showEvent(QShowEvent* event) {
    // The page comes to life the first time it is shown, as a property page does.
    if (!opened_) {
        opened_ = true;
        OnInitDialog();
    }
    QWidget::showEvent(event);
}

} // namespace zentra
