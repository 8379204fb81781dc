#include "settings/port_device_dialog.h"

#include "document/port_map.h"
#include "platform/message_box.h"
#include "platform/net_address.h"
#include "platform/serial_ports.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace zentra {
namespace {

constexpr const char* kStoreFailed = "The port's device could not be stored in the settings.";
constexpr const char* kCaption = "Port Device";
constexpr int kPathFieldWidth = 380; // pixels: room for a typical by-id name
constexpr const char* kFormsText =
    "A device path such as /dev/ttyUSB0, or a network address: tcp://HOST:PORT for a serial "
    "device server in transparent mode, modbus-tcp://HOST:PORT for a Modbus TCP gateway "
    "(for example modbus-tcp://192.168.1.50:502).";
constexpr const char* kNotAPath = "Enter the full path of a device, such as /dev/ttyUSB0.";
constexpr const char* kBadAddress =
    "Not a valid network address: enter tcp://HOST:PORT or modbus-tcp://HOST:PORT, where HOST "
    "is a name or an IP address (an IPv6 address in brackets) and PORT a number from 1 to "
    "65535.";
constexpr const char* kConnectsLater =
    "The connection is made when you press Connect on the Communication page.";
constexpr const char* kNotPresent =
    "This device is not present now; the port will be listed once it is plugged in.";

QString FromStd(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToStd(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

std::optional<std::string> EnvironmentDevice(int comNumber) {
    const std::string name = "ZENTRA_COM" + std::to_string(comNumber);
    if (const char* value = std::getenv(name.c_str()))
        return std::string(value);
    return std::nullopt;
}

std::string DeviceOrNone(const std::string& path) {
    return path.empty() ? std::string("no device") : path;
}

} // namespace

std::vector<std::string> DeviceCandidates(const std::filesystem::path& byIdFolder,
                                          std::vector<std::string> detected) {
    std::vector<std::string> stable;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(byIdFolder, ec))
        stable.push_back(entry.path().string());
    std::sort(stable.begin(), stable.end());
    for (std::string& device : detected)
        if (std::find(stable.begin(), stable.end(), device) == stable.end())
            stable.push_back(std::move(device));
    return stable;
}

std::vector<std::string> DeviceCandidates() {
    return DeviceCandidates(kSerialByIdFolder, platform::DetectSerialDevices());
}

std::string DeviceSourceText(int comNumber) {
    if (const auto env = EnvironmentDevice(comNumber))
        return DeviceOrNone(*env) + " (set by ZENTRA_COM" + std::to_string(comNumber) +
               " in the environment, which overrides the choice made here)";
    if (const auto stored = StoredPortDevice(comNumber))
        return DeviceOrNone(*stored) + " (chosen by you)";
    if (const auto found = platform::PortDevicePath(comNumber))
        return *found + " (found on this machine)";
    return "no device found";
}

PortDeviceDialog::PortDeviceDialog(int comNumber, const std::vector<std::string>& candidates,
                                   QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setObjectName(QStringLiteral("PortDeviceDialog"));
    setModal(true);

    port_ = new QComboBox(this);
    port_->setObjectName(QStringLiteral("portNumber"));
    for (int n = 1; n <= platform::kComPortCount; ++n)
        port_->addItem(QStringLiteral("COM%1").arg(n), n);
    port_->setCurrentIndex(std::clamp(comNumber, 1, platform::kComPortCount) - 1);

    device_ = new QComboBox(this);
    device_->setObjectName(QStringLiteral("devicePath"));
    device_->setEditable(true);
    device_->setInsertPolicy(QComboBox::NoInsert);
    device_->setMinimumWidth(kPathFieldWidth);
    device_->addItem(QString::fromLatin1(kAutomaticDevice));
    for (const std::string& candidate : candidates)
        device_->addItem(FromStd(candidate));

    current_ = new QLabel(this);
    current_->setObjectName(QStringLiteral("currentDevice"));
    current_->setWordWrap(true);
    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("hint"));
    hint_->setWordWrap(true);
    auto* forms = new QLabel(QString::fromLatin1(kFormsText), this);
    forms->setObjectName(QStringLiteral("deviceForms"));
    forms->setWordWrap(true);
    device_->setToolTip(forms->text());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("IDOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("IDCANCEL"));
    connect(buttons, &QDialogButtonBox::accepted, this, &PortDeviceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PortDeviceDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Port"), port_);
    form->addRow(QStringLiteral("Now"), current_);
    form->addRow(QStringLiteral("Device"), device_);
    form->addRow(QString(), forms);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint_);
    layout->addWidget(buttons);

    connect(port_, &QComboBox::currentIndexChanged, this, &PortDeviceDialog::ShowPort);
    connect(device_, &QComboBox::currentTextChanged, this, &PortDeviceDialog::CheckEntry);
    ShowPort();
}

int PortDeviceDialog::ComNumberChosen() const {
    return port_->currentData().toInt();
}

std::optional<std::string> PortDeviceDialog::DeviceChosen() const {
    const QString text = device_->currentText().trimmed();
    if (text.isEmpty() || text == QString::fromLatin1(kAutomaticDevice))
        return std::nullopt;
    return ToStd(text);
}

bool PortDeviceDialog::ChoiceUsable() const {
    const auto device = DeviceChosen();
    return !device || (!device->empty() && IsUsableDevicePath(*device));
}

void PortDeviceDialog::ShowPort() {
    const int n = ComNumberChosen();
    current_->setText(FromStd(DeviceSourceText(n)));
    // Start from what is stored for this name, so OK alone changes nothing.
    const auto stored = StoredPortDevice(n);
    if (!stored || stored->empty()) {
        device_->setCurrentIndex(0);
    } else {
        const int at = device_->findText(FromStd(*stored));
        if (at >= 0)
            device_->setCurrentIndex(at);
        else
            device_->setEditText(FromStd(*stored));
    }
    CheckEntry();
}

void PortDeviceDialog::CheckEntry() {
    const bool usable = ChoiceUsable();
    ok_->setEnabled(usable);
    const auto device = DeviceChosen();
    const bool network = device && platform::IsNetAddressForm(*device);
    if (!usable) {
        hint_->setText(QString::fromLatin1(network ? kBadAddress : kNotAPath));
        return;
    }
    std::error_code ec;
    if (network)
        hint_->setText(QString::fromLatin1(kConnectsLater));
    else if (device && !std::filesystem::exists(*device, ec))
        hint_->setText(QString::fromLatin1(kNotPresent));
    else
        hint_->clear();
}

void PortDeviceDialog::accept() {
    if (!ChoiceUsable())
        return;
    if (!StorePortDevice(ComNumberChosen(), DeviceChosen())) {
        platform::ShowMessage(kStoreFailed, kCaption, platform::MessageButtons::Ok,
                              platform::MessageIcon::Error);
        return;
    }
    QDialog::accept();
}

} // namespace zentra
