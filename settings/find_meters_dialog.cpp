#include "settings/find_meters_dialog.h"

#include "settings/comm_page_data.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace zentra {
namespace {

constexpr int kListWidth = 460; // pixels
constexpr int kListHeight = 180;

QString FromStd(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QString ScanningText(const MeterScan& scan) {
    return QStringLiteral("Scanning node %1 (%2 of %3): %4 found")
        .arg(scan.NextNode())
        .arg(scan.Asked() + 1)
        .arg(scan.Total())
        .arg(scan.MetersFound());
}

} // namespace

FindMetersDialog::FindMetersDialog(const CommSettings& settings, QWidget* parent, int first,
                                   int last, std::chrono::milliseconds window)
    : QDialog(parent), settings_(settings),
      first_(std::clamp(first, kFirstScanNode, kLastScanNode)),
      last_(std::clamp(last, first_, kLastScanNode)), window_(window) {
    setObjectName(QStringLiteral("FindMetersDialog"));
    setWindowTitle(QStringLiteral("Find Meters"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("scanStatus"));
    meters_ = new QListWidget(this);
    meters_->setObjectName(QStringLiteral("meters"));
    meters_->setMinimumSize(kListWidth, kListHeight);
    use_ = new QPushButton(QStringLiteral("Use Node"), this);
    use_->setObjectName(QStringLiteral("IDOK"));
    use_->setEnabled(false);
    use_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("IDCANCEL"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(use_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(meters_, 1);
    layout->addLayout(buttons);

    timer_.setInterval(0); // one node per pass of the event loop
    connect(&timer_, &QTimer::timeout, this, &FindMetersDialog::StepScan);
    connect(meters_, &QListWidget::currentRowChanged, this, [this] { UpdateChoice(); });
    connect(meters_, &QListWidget::itemDoubleClicked, this, [this] { Choose(); });
    connect(use_, &QPushButton::clicked, this, &FindMetersDialog::Choose);
    connect(cancel_, &QPushButton::clicked, this, &FindMetersDialog::reject);
}

FindMetersDialog::~FindMetersDialog() {
    timer_.stop();
    ClosePort(port_);
}

void FindMetersDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!begun_)
        Begin();
}

bool FindMetersDialog::Begin() {
    begun_ = true;
    PortAvailability available;
    available.fill(true); // only the page's port is opened; it was listed there
    PortHandle held = kInvalidPort;
    port_ = OpenPort(settings_, available, held);
    if (port_ == kInvalidPort) {
        const std::string reason = LastOpenFailure();
        Finish(reason.empty() ? CommFieldText(settings_.port) + " cannot be opened." : reason);
        return false;
    }
    scan_ = std::make_unique<MeterScan>(port_, first_, last_, settings_.floatOrder, window_);
    status_->setText(ScanningText(*scan_));
    timer_.start();
    return true;
}

void FindMetersDialog::StepScan() {
    if (!scan_ || scan_->Done()) {
        timer_.stop();
        return;
    }
    if (const auto hit = scan_->Step(); hit && hit->IsMeter()) {
        nodes_.push_back(hit->node);
        meters_->addItem(FromStd(ScanHitLine(*hit)));
        if (meters_->currentRow() < 0)
            meters_->setCurrentRow(0);
    }
    if (!scan_->Done()) {
        status_->setText(ScanningText(*scan_));
        return;
    }
    if (scan_->PortGone()) {
        Finish(CommFieldText(settings_.port) + " went away during the scan.");
        return;
    }
    const int found = scan_->MetersFound();
    Finish(found == 0 ? "No meter answered on nodes " + std::to_string(first_) + " to " +
                            std::to_string(last_) +
                            ". Check the wiring and the baud rate, parity and stop bits."
                      : "Scan finished: " + std::to_string(found) +
                            (found == 1 ? " meter found." : " meters found.") +
                            " Choose one for Node Number.");
}

void FindMetersDialog::Finish(const std::string& status) {
    timer_.stop();
    ClosePort(port_);
    status_->setText(FromStd(status));
}

void FindMetersDialog::UpdateChoice() {
    use_->setEnabled(meters_->currentRow() >= 0);
}

void FindMetersDialog::Choose() {
    const int row = meters_->currentRow();
    if (row < 0 || row >= static_cast<int>(nodes_.size()))
        return;
    chosen_ = nodes_[static_cast<std::size_t>(row)];
    timer_.stop();
    ClosePort(port_);
    accept();
}

void FindMetersDialog::reject() {
    timer_.stop();
    ClosePort(port_);
    chosen_.reset();
    QDialog::reject();
}

std::vector<std::string> FindMetersDialog::MeterLines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < meters_->count(); ++i)
        lines.push_back(meters_->item(i)->text().toLocal8Bit().toStdString());
    return lines;
}

std::string FindMetersDialog::StatusText() const {
    return status_->text().toLocal8Bit().toStdString();
}

} // namespace zentra
