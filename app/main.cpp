#include "CurlHandle.h"
#include "Form1.h"
#include "Program.h"

#include <QApplication>
#include <QSessionManager>

#include <cstdio>
#include <cstdlib>

// The version stands in the binary as plain text, where tools that read files find it.
static const char versionText[] = PROJECT_VERSION;

int main(int, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "vellumin: there is no display to show the window on.\n"
                             "Start it inside a desktop session, or under a virtual one:\n"
                             "    xvfb-run -a %s\n", argv[0]);
        return 1;
    }

    const CurlGlobal curl;

    // The program takes no command line: Qt sees none, so it acts on no -style,
    // -session or the like either.
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(programName);
    QApplication::setApplicationVersion(QString::fromLatin1(versionText));
    QApplication::setDesktopFileName(QStringLiteral("vellumin"));

    Form1 window;
    QApplication::setWindowIcon(window.windowIcon());
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &Form1::onSessionEnding);
    QObject::connect(&app, &QGuiApplication::saveStateRequest, &window,
                     [](QSessionManager &manager) { manager.setRestartHint(QSessionManager::RestartNever); });
    window.show();

    return app.exec();
}
