// zentra-report: the report of a load survey, from one or more Zentra project files.
#include "tools/report/report_main.h"

#include <QGuiApplication>

#include <iostream>

int main(int argc, char** argv) {
    // A report needs fonts, not a screen: without a platform chosen it draws offscreen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::vector<std::string> args;
    const QStringList arguments = QGuiApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        args.push_back(arguments[i].toStdString());
    return zentra::report::ReportMain(args, std::cout, std::cerr);
}
