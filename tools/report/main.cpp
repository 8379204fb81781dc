// zentra-report: the report of a load survey, from one or more Zentra project files.
#include "tools/report/report_main.h"

#include <QGuiApplication>

#include <iostream>

namespace {
// Qt's notes about the session (no runtime folder, no screen) are no concern of a
// program that only writes files; its errors still reach stderr.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "zentra-report: " << message.toStdString() << "\n";
}
} // namespace

int main(int argc, char** argv) {
    // A report needs fonts, not a screen: without a platform chosen it draws offscreen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    QGuiApplication app(argc, argv);
    std::vector<std::string> args;
    const QStringList arguments = QGuiApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        args.push_back(arguments[i].toStdString());
    return zentra::report::ReportMain(args, std::cout, std::cerr);
}
