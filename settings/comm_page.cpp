#include "settings/comm_page.h"

#include "acquisition/acquisition_cycle.h"
#include "comms/modbus_client.h"
#include "platform/message_box.h"
#include "platform/serial_ports.h"
#include "settings/find_meters_dialog.h"
#include "settings/port_device_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <array>

namespace zentra {
namespace {

constexpr std::array<const char*, 6> kBaudTexts{"115200", "57600", "38400",
                                                "19200",  "9600",  "4800"};
constexpr std::array<const char*, 3> kParityTexts{"NONE", "ODD", "EVEN"};
constexpr std::array<const char*, 2> kStopBitTexts{"1", "2"};

constexpr int kPortListChars = 40;       // port list width, in characters of its font
constexpr std::size_t kDeviceChars = 34; // longer device paths are cut in the middle
constexpr int kInformationWidth = 300;   // pixels
constexpr int kInformationHeight = 250;

template <typename Widget> Widget* Named(Widget* widget, const char* id) {
    widget->setObjectName(QString::fromLatin1(id));
    return widget;
}

QString FromStd(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToStd(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

template <std::size_t N>
QComboBox* TextList(const char* id, const std::array<const char*, N>& texts, QWidget* parent) {
    auto* list = Named(new QComboBox(parent), id);
    for (const char* text : texts)
        list->addItem(QString::fromLatin1(text));
    return list;
}

QLineEdit* DigitsEdit(const char* id, int maxChars, QWidget* parent) {
    auto* edit = Named(new QLineEdit(parent), id);
    edit->setMaxLength(maxChars);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setMaximumWidth(90);
    return edit;
}

// Selects the entry with this text; no entry matches a text the list does not offer.
void SelectText(QComboBox& list, const CommText& field) {
    list.setCurrentIndex(list.findText(FromStd(CommFieldText(field))));
}

void TakeText(const QComboBox& list, CommText& field) {
    if (list.currentIndex() >= 0)
        SetCommFieldText(field, ToStd(list.currentText()));
}

} // namespace

PortSetupPP::PortSetupPP(const CommPageData& data, QWidget* parent) : QWidget(parent), data_(data) {
    setObjectName(QStringLiteral("PortSetupPP"));
    timer_.setSingleShot(false);
    connect(&timer_, &QTimer::timeout, this, &PortSetupPP::IdentityPoll);
    BuildControls();
    OnInitDialog();
}

PortSetupPP::~PortSetupPP() {
    timer_.stop();
    ClosePort(port_);
}

void PortSetupPP::BuildControls() {
    node_ = DigitsEdit("1059", kNodeDigits, this);
    latency_ = DigitsEdit("1054", kLatencyChars, this);

    portList_ = Named(new QComboBox(this), "1041");
    portList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    portList_->setMinimumContentsLength(kPortListChars);
    changeDevice_ =
        Named(new QPushButton(QStringLiteral("Change device..."), this), "changeDevice");
    changeDevice_->setToolTip(
        QStringLiteral("Choose which device this port name stands for on this machine"));

    findMeters_ = Named(new QPushButton(QStringLiteral("Find meters..."), this), "findMeters");
    findMeters_->setToolTip(
        QStringLiteral("Ask every node on this line for its identity and choose a meter"));

    baud_ = TextList("1043", kBaudTexts, this);
    parity_ = TextList("1045", kParityTexts, this);
    stopBits_ = TextList("1047", kStopBitTexts, this);
    floatOrder_ = TextList("1096", kFloatOrderTexts, this);
    connect_ = Named(new QPushButton(QStringLiteral("Connect"), this), "1049");
    information_ = Named(new QListWidget(this), "1052");
    information_->setSelectionMode(QAbstractItemView::NoSelection);
    information_->setWordWrap(true);
    information_->setMinimumSize(kInformationWidth, kInformationHeight);

    auto* portRow = new QHBoxLayout;
    portRow->addWidget(portList_, 1);
    portRow->addWidget(changeDevice_);

    auto* nodeRow = new QHBoxLayout;
    nodeRow->addWidget(node_);
    nodeRow->addWidget(findMeters_);
    nodeRow->addStretch(1);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->addRow(QStringLiteral("Node Number"), nodeRow);
    form->addRow(QStringLiteral("Port"), portRow);
    form->addRow(QStringLiteral("Baud Rate"), baud_);
    form->addRow(QStringLiteral("Parity"), parity_);
    form->addRow(QStringLiteral("Stop Bits"), stopBits_);
    form->addRow(QStringLiteral("Latency (ms)"), latency_);
    form->addRow(floatOrder_);

    auto* settings = new QVBoxLayout;
    settings->addLayout(form);
    settings->addWidget(connect_, 0, Qt::AlignLeft);
    settings->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(settings);
    layout->addWidget(information_, 1);

    // A list closing takes its text, and the node and latency are read again.
    for (QComboBox* list : {portList_, baud_, parity_, stopBits_})
        connect(list, &QComboBox::activated, this, [this] { ReadControls(data_); });
    connect(floatOrder_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            data_.comms.floatOrder = index;
    });
    connect(connect_, &QPushButton::clicked, this, &PortSetupPP::OnConnect);
    connect(changeDevice_, &QPushButton::clicked, this, &PortSetupPP::OnChangeDevice);
    connect(findMeters_, &QPushButton::clicked, this, &PortSetupPP::OnFindMeters);
}

void PortSetupPP::OnInitDialog() {
    available_ = EnumeratePorts();
    timer_.stop();
    port_ = kInvalidPort;
    FillPortList();
    {
        // A stored order outside 0..3 selects nothing and stays as it is.
        const QSignalBlocker block(floatOrder_);
        const std::int32_t order = data_.comms.floatOrder;
        floatOrder_->setCurrentIndex(order >= 0 && order < floatOrder_->count() ? order : -1);
    }
    node_->setText(FromStd(NodeText(data_.nodeAddress)));
    SelectText(*baud_, data_.comms.baud);
    SelectText(*parity_, data_.comms.parity);
    SelectText(*stopBits_, data_.comms.stopBits);
    latency_->setText(FromStd(CommFieldText(data_.comms.latency)));
}

void PortSetupPP::FillPortList() {
    const QSignalBlocker block(portList_);
    portList_->clear();
    const auto devices = platform::PortDeviceTable();
    for (int i = 0; i < kPortCount; ++i) {
        if (!available_[static_cast<std::size_t>(i)])
            continue;
        const QString name = QStringLiteral("COM%1").arg(i + 1);
        const auto& device = devices[static_cast<std::size_t>(i)];
        const QString separator = QString::fromUtf8(kPortDeviceSeparator);
        const QString shown =
            device ? name + separator + FromStd(ShortDevicePath(*device, kDeviceChars)) : name;
        portList_->addItem(shown, name);
        if (device)
            portList_->setItemData(portList_->count() - 1, name + separator + FromStd(*device),
                                   Qt::ToolTipRole);
    }
    if (portList_->count() == 0)
        return; // nothing to choose: the stored port name stays as it was
    const int at = portList_->findData(FromStd(CommFieldText(data_.comms.port)));
    portList_->setCurrentIndex(at >= 0 ? at : 0);
    SetCommFieldText(data_.comms.port, ToStd(portList_->currentData().toString()));
}

void PortSetupPP::ReadControls(CommPageData& into) const {
    if (portList_->currentIndex() >= 0)
        SetCommFieldText(into.comms.port, ToStd(portList_->currentData().toString()));
    TakeText(*baud_, into.comms.baud);
    TakeText(*parity_, into.comms.parity);
    TakeText(*stopBits_, into.comms.stopBits);
    if (floatOrder_->currentIndex() >= 0)
        into.comms.floatOrder = floatOrder_->currentIndex();
    into.nodeAddress = NodeFromText(ToStd(node_->text()));
    SetCommFieldText(into.comms.latency, LatencyFromText(ToStd(latency_->text())));
}

CommPageData PortSetupPP::Result() const {
    // The controls as the sheet closes, read as a list closing would read them.
    CommPageData result = data_;
    ReadControls(result);
    return result;
}

PortHandle PortSetupPP::TakePort() {
    timer_.stop();
    const PortHandle port = port_;
    port_ = kInvalidPort;
    return port;
}

std::vector<std::string> PortSetupPP::InformationLines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < information_->count(); ++i)
        lines.push_back(ToStd(information_->item(i)->text()));
    return lines;
}

void PortSetupPP::AddLine(const std::string& line) {
    information_->addItem(FromStd(line));
    information_->scrollToBottom();
}

void PortSetupPP::StopTimer() {
    timer_.stop();
}

void PortSetupPP::OnConnect() {
    information_->clear();
    StopTimer();
    ReadControls(data_);
    connected_ = 0;

    port_ = OpenPort(data_.comms, available_, port_, &busy_);
    if (port_ == kInvalidPort) {
        // Nothing else happens, but the user is told why.
        const std::string reason = LastOpenFailure();
        AddLine(reason.empty() ? CommFieldText(data_.comms.port) + " cannot be opened." : reason);
        return;
    }

    queue_.Load({kRequestMeterInfo, kRequestLayout});
    K760modbus meter(port_, NodeByte(data_.nodeAddress), data_.comms.floatOrder);
    meter.RequestIdentity();
    connected_ = 1;
    timer_.start(LatencyMilliseconds(data_.comms));
}

void PortSetupPP::IdentityPoll() {
    if (polling_)
        return;
    if (port_ == kInvalidPort) {
        StopTimer();
        return;
    }
    polling_ = true;
    K760modbus meter(port_, NodeByte(data_.nodeAddress), data_.comms.floatOrder);
    meter.ReceiveReply();
    switch (meter.replyFunction) {
    case kFcIdentity: {
        const double version = static_cast<double>(meter.identity[kIdentityVersion]);
        data_.versionFraction = VersionFraction(version);
        data_.systemType = MeterVariant(version);
        data_.modelNumber = static_cast<double>(meter.identity[kIdentityModel]);
        for (const std::string& line : IdentityLines(meter.identity))
            AddLine(line);
        if (!ModelNumberPlausible(data_.modelNumber))
            WarnFloatOrder();
        break;
    }
    case kFcMeterInfo:
        for (const std::string& line : zentra::InformationLines(meter.meterInfo))
            AddLine(line);
        break;
    case kFcReadings:
    case kFcLayout:
        break;
    default:
        AddLine(std::string(comm_text::kNoCommunication));
        StopTimer();
        ClosePort(port_);
        // No port, so nothing is connected: OK must not report the link as set up.
        connected_ = 0;
        polling_ = false;
        return;
    }
    SendNext(meter);
    polling_ = false;
}

void PortSetupPP::SendNext(K760modbus& meter) {
    const auto kind = queue_.Pop();
    if (!kind) {
        StopTimer();
        return;
    }
    switch (*kind) {
    case kRequestMeterInfo:
        meter.RequestMeterInfo();
        break;
    case kRequestReadings:
        meter.RequestReadings();
        break;
    case kRequestLayout:
        meter.RequestPositionMap();
        break;
    default:
        break;
    }
}

void PortSetupPP::WarnFloatOrder() {
    // The box runs its own event loop: hold the exchange until it is closed, so the
    // next request goes out one latency period before its reply is read.
    const bool armed = timer_.isActive();
    timer_.stop();
    platform::ShowMessage(comm_text::kFloatError, comm_text::kFloatErrorCaption,
                          platform::MessageButtons::Ok, platform::MessageIcon::Warning);
    if (armed && port_ != kInvalidPort)
        timer_.start();
}

void PortSetupPP::OnFindMeters() {
    ReadControls(data_);
    // The scan needs the line to itself: a port this page holds is closed first, and
    // the user connects again to the meter chosen.
    if (port_ != kInvalidPort) {
        StopTimer();
        ClosePort(port_);
        connected_ = 0;
        information_->clear();
        AddLine("Port closed for the scan: press Connect.");
    }
    FindMetersDialog dialog(data_.comms, this);
    const int result = runFindMeters_ ? runFindMeters_(dialog) : dialog.exec();
    if (result != QDialog::Accepted || !dialog.ChosenNode())
        return;
    data_.nodeAddress = *dialog.ChosenNode();
    node_->setText(FromStd(NodeText(data_.nodeAddress)));
}

void PortSetupPP::OnChangeDevice() {
    int comNumber = platform::ComNumber(CommFieldText(data_.comms.port));
    if (portList_->currentIndex() >= 0)
        comNumber = platform::ComNumber(ToStd(portList_->currentData().toString()));
    PortDeviceDialog dialog(comNumber > 0 ? comNumber : 1,
                            candidates_ ? candidates_() : DeviceCandidates(), this);
    const int result = runDeviceDialog_ ? runDeviceDialog_(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return;

    // The ports are probed again, and a port this page holds would count as busy:
    // close it first. The user connects again to the device now chosen.
    if (port_ != kInvalidPort) {
        StopTimer();
        ClosePort(port_);
        connected_ = 0;
        information_->clear();
        AddLine("Port closed while the ports were listed again: press Connect.");
    }
    SetCommFieldText(data_.comms.port, "COM" + std::to_string(dialog.ComNumberChosen()));
    available_ = EnumeratePorts();
    FillPortList();
}

} // namespace zentra
