// Zentra: data logger for a three-phase power meter. The only command-line argument
// is an optional project file to open.
#include "app/message_box_qt.h"
#include "app/zentra_app.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    zentra::InstallQtMessageHandler();
    zentra::CZentraApp zentraApp;
    if (!zentraApp.InitInstance(QApplication::arguments()))
        return 1;
    return app.exec();
}
