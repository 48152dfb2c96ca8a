#include "app/CMainApp.h"

#include "app/CMainDlg.h"
#include "app/CSplashDlg.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

QString appCaption;

int CMainApp::Run(int argc, char** argv)
{
    // The popup places itself in screen coordinates, which Wayland does not allow.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv); // keeps a reference to argc: both live until Run returns
    application.setDesktopFileName(QStringLiteral("org.quorvel.Quorvel"));
    // The run ends with the main window's modal loop, not when the splash is the last window gone.
    application.setQuitOnLastWindowClosed(false);

    // Qt's own buttons and dialogs (Yes, No, Cancel, the file dialogs) in Chinese.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    appCaption = QStringLiteral("Quorvel");
    {
        CSplashDlg splash;
        splash.exec();
    }
    // A file named on the command line (a file manager's "Open with" names one) opens as Open
    // would, once the window runs; of several names the first.
    const QStringList files = QApplication::arguments().mid(1);
    {
        CMainDlg mainWindow;
        if (!files.isEmpty())
            QTimer::singleShot(0, &mainWindow, [&mainWindow, file = files.first()] { mainWindow.OpenFile(file); });
        mainWindow.exec();
    }
    return 0;
}
