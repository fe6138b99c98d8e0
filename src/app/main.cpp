// Lumivo: the program owns the database text and the desktop seam, and hands
// both to the main window, which reads db.dat from the program's own folder.

#include "lookup/cNumberDB.h"
#include "lookup/modAppInfo.h"
#include "mainwindow/frmMain.h"
#include "platform/cQtPlatform.h"
#include "platform/modFontSubstitutes.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(modAppInfo::AppTitle());
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(modAppInfo::VersionMajor())
                                            .arg(modAppInfo::VersionMinor())
                                            .arg(modAppInfo::VersionRevision()));
    modFontSubstitutes::InstallFontSubstitutes();

    cQtPlatform platform;
    cNumberDB db;
    frmMain window(platform, db, QApplication::applicationDirPath());
    window.show();
    return app.exec();
}
