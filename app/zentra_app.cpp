#include "app/zentra_app.h"

#include "app/main_frame.h"
#include "app/menu_layout.h"
#include "document/port_map.h"
#include "platform/message_box.h"

#include <QGuiApplication>
#include <QIcon>

// The shell's resources (icons, the guide) are compiled into a static library; a
// reference from code keeps the linker from dropping them.
static void InitShellResources() {
    Q_INIT_RESOURCE(resources);
}

namespace zentra {

std::optional<std::string> FileFromCommandLine(const QStringList& arguments) {
    if (arguments.size() < 2 || arguments.at(1).isEmpty())
        return std::nullopt;
    return arguments.at(1).toStdString();
}

CZentraApp::CZentraApp() {
    InitShellResources();
    QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganisationName));
    QCoreApplication::setApplicationName(
        QString::fromUtf8(kApplicationTitle.data(), qsizetype(kApplicationTitle.size())));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0.0.2"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zentra.svg")));
}

CZentraApp::~CZentraApp() = default;

bool CZentraApp::InitInstance(const QStringList& arguments, FileChooser* chooser) {
    // COM1..COM9 consult the user's stored port map after the environment.
    InstallPortMap();
    frame_ = std::make_unique<CMainFrame>(chooser);
    std::string reason;
    if (!frame_->Start(FileFromCommandLine(arguments), &reason)) {
        platform::ShowMessage(reason, {}, platform::MessageButtons::Ok,
                              platform::MessageIcon::Error);
        frame_.reset();
        return false;
    }
    frame_->show();
    // A logging run that a crash, a kill or a power cut interrupted.
    frame_->Controller().OfferRecovery();
    return true;
}

} // namespace zentra
