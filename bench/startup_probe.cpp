// SPDX-License-Identifier: Apache-2.0
// lumivo-startup-probe: the program's own start-up (as in src/app/main.cpp),
// timed from main() to the main window shown, with db.dat read from FOLDER.
//
//   QT_QPA_PLATFORM=offscreen /usr/bin/time -v lumivo-startup-probe FOLDER
//
// Prints the milliseconds to the shown window, then quits; /usr/bin/time adds
// the process's own start (loading Qt) and its peak memory.

#include "cNumberDB.h"
#include "cQtPlatform.h"
#include "cUpdateJob.h"
#include "frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    if (argc != 2) {
        fprintf(stderr, "usage: lumivo-startup-probe FOLDER-WITH-db.dat\n");
        return 2;
    }
    cQtPlatform platform;
    cNumberDB db;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    cUpdateJob updateJob(db, folder);
    frmMain window(platform, db, updateJob, folder);
    window.show();
    // Runs once the show has been handled by the event loop.
    QTimer::singleShot(0, &app, [&] {
        printf("main window shown after %lld ms; database %lld bytes\n",
               static_cast<long long>(clock.elapsed()), static_cast<long long>(db.Size()));
        app.quit();
    });
    return app.exec();
}
