// SPDX-License-Identifier: Apache-2.0
// lumivo-minimal-window: the least a Qt program does to show a window, timed as
// lumivo-startup-probe times the program: from main() to the window shown.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char* argv[]) {
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    QWidget window;
    window.resize(400, 300);
    window.show();
    QTimer::singleShot(0, &app, [&] {
        printf("window shown after %lld ms\n", static_cast<long long>(clock.elapsed()));
        app.quit();
    });
    return app.exec();
}
