// SPDX-License-Identifier: Apache-2.0
#include "cFakePlatform.h"
#include "cNumberDB.h"
#include "cPictureBox.h"
#include "frmAbout.h"
#include "frmLog.h"
#include "frmMain.h"
#include "modDataFolder.h"
#include "modFontSubstitutes.h"
#include "modQtLanguage.h"
#include "modTestFiles.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

using modTestFiles::DBBytes;
using modTestFiles::FileState;
using modTestFiles::WriteFile;

namespace {

// Visible nodes without a name, leaving out plain panes and the status line,
// which is empty until an update starts.
QStringList Unnamed(QAccessibleInterface* node) {
    QStringList unnamed;
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (child->state().invisible)
            continue;
        if (child->role() != QAccessible::Client && child->text(QAccessible::Name).isEmpty() &&
            child->object()->objectName() != "lblConnectionStatus")
            unnamed << child->object()->objectName();
        unnamed << Unnamed(child);
    }
    return unnamed;
}

// WCAG's contrast ratio of two colours: 1 (same) to 21 (black on white).
double Contrast(const QColor& one, const QColor& two) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double a = luminance(one), b = luminance(two);
    return (qMax(a, b) + 0.05) / (qMin(a, b) + 0.05);
}

} // namespace

class tst_app : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    cFakePlatform m_platform;
    cNumberDB m_db;

private slots:
    void dataFolder_data() { modTestFiles::AddDataRows(QFINDTESTDATA("data-folder-cases.txt")); }
    void dataFolder() {
        QFETCH(QStringList, row);
        const QString program = row[1], own = row[3];
        const int installed = row[2].toInt();
#ifndef Q_OS_LINUX
        if (program == "readonly" || own.startsWith("noperm") || own.startsWith("link") ||
            own == "dangling")
            QSKIP("file modes and symbolic links as Linux has them");
#endif
        QTemporaryDir app, home;
        // Whatever check fails, root gets its override back and the folder its rights,
        // so that both folders can be removed.
        const auto restore = qScopeGuard([&] {
            modTestFiles::SetPermissionOverride(true);
            QFile::setPermissions(app.path(), QFile::Permissions(0x7700));
        });
        const QString user = home.path() + "/share/Lumivo", copy = user + "/db.dat";
        const QString elsewhere = home.filePath("elsewhere.dat");
        QVERIFY(WriteFile(app.filePath("db.dat"), DBBytes(QString::number(installed))));
        if (program == "installed")
            QVERIFY(WriteFile(app.filePath("lumivo.installed"), ""));
        const int version = own.right(4).toInt();
        if (own == "blocked")
            QVERIFY(WriteFile(home.path() + "/share", "x"));
        else if (own != "none")
            QVERIFY(QDir().mkpath(user));
        if (own == "folder")
            QVERIFY(QDir().mkdir(copy));
        else if (own == "fifo" && !modTestFiles::MakeFifo(copy))
            QSKIP("no FIFOs on this system");
        else if (own.startsWith("link") || own == "dangling")
            QVERIFY(QFile::link(elsewhere, copy));
        const QString file = own.startsWith("link") ? elsewhere : copy;
        if (version || own == "notail")
            QVERIFY(WriteFile(file, version ? DBBytes(QString::number(version)) : "x"));
        if (own.startsWith("noperm"))
            QVERIFY(QFile::setPermissions(copy, QFile::Permissions()));
        QVERIFY(QFile::setPermissions(app.path(),
                                      QFile::Permissions(program == "readonly" ? 0x5500 : 0x7700)));

        modTestFiles::SetPermissionOverride(false);
        const bool beside = modDataFolder::KeepsDBBeside(app.path());
        // The tools decide first, read-only, and must read what the window then reads.
        const bool userFolder = QFileInfo::exists(user);
        const QString ownBefore = FileState(copy);
        const auto decided = modDataFolder::DecideDataFolder(app.path(), beside, user);
        const QString toolReads = FileState(decided.strFolder + "/db.dat");
        QCOMPARE(QFileInfo::exists(user), userFolder);
        QCOMPARE(FileState(copy), ownBefore);
        const auto data = modDataFolder::ChooseDataFolder(app.path(), beside, user);
        modTestFiles::SetPermissionOverride(true);
        QCOMPARE(FileState(data.strFolder + "/db.dat"), toolReads);
        const QString read = row[4];
        const bool error = row[6] == u"true";
        QCOMPARE(data.strFolder, read == "user" ? user : app.path());
        QCOMPARE(data.problem != modDataFolder::eCopyProblem::None, error);
        QCOMPARE(data.error.Failed(), error);
        QVERIFY2(QDir::fromNativeSeparators(data.strPath).startsWith(error ? user : QString()),
                 qPrintable(data.strPath));
        QCOMPARE(FileState(copy), row[5]);
        // Neither the installed database nor what a link leads to is ever written.
        QCOMPARE(FileState(app.filePath("db.dat")), QString::number(installed));
        if (own.startsWith("link"))
            QCOMPARE(FileState(elsewhere), QString::number(version));
    }

    void everyVisibleControlIsNamed() {
        // Control, name (empty: hidden), label.
        const QStringList rows[] = {
            {"txtInputNum", "電話番号", "lblInfo(0)"},
            {"txtResult", "事業者", "lblInfo(1)"},
            {"picMap(0)", "地図", ""},
            {"picMap(1)", "", ""},
            {"lstLog", "検索ログ", ""},
            {"picSoftwareLogo", "Lumivoのロゴ: 作者ウェブページを開く", ""},
            {"lblNotice", "お知らせ: 作者ウェブページを開く", ""},
        };
        cUpdateJob job(m_db, m_dir.path());
        frmMain main(m_platform, m_db, job, m_dir.path());
        frmAbout about(m_platform, job, &main);
        const std::initializer_list<QWidget*> windows = {&main, main.LogWindow(), &about};
        for (QWidget* window : windows) {
            window->show();
            QCOMPARE(Unnamed(QAccessible::queryAccessibleInterface(window)), QStringList());
        }
        for (const QStringList& row : rows) {
            QWidget* control = main.findChild<QWidget*>(row[0]); // the About window's too
            control = control ? control : main.LogWindow()->findChild<QWidget*>(row[0]);
            auto* node = QAccessible::queryAccessibleInterface(control);
            QCOMPARE(node->state().invisible ? QString() : node->text(QAccessible::Name), row[1]);
            const auto labels = node->relations(QAccessible::Label);
            QCOMPARE(labels.isEmpty() ? "" : labels[0].first->object()->objectName(), row[2]);
        }
    }

    // Under a dark theme every text stands out from what is behind it, also where a
    // window fixes one of the two colours (the About window's white sheet).
    void legibleOnADarkTheme() {
        const QPalette saved = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(saved); });
        QPalette dark;
        for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
            dark.setColor(role, QColor(45, 45, 45));
        for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            dark.setColor(role, QColor(230, 230, 230));
        QApplication::setPalette(dark);
        cUpdateJob job(m_db, m_dir.path());
        frmMain main(m_platform, m_db, job, m_dir.path());
        frmAbout about(m_platform, job, &main);
        QStringList illegible;
        for (QWidget* window : std::initializer_list<QWidget*>{&main, main.LogWindow(), &about})
            for (QWidget* w : window->findChildren<QWidget*>()) {
                QColor fore, back;
                if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractItemView*>(w)) {
                    fore = w->palette().color(QPalette::Text);
                    back = w->palette().color(QPalette::Base);
                } else if (qobject_cast<QPushButton*>(w)) {
                    fore = w->palette().color(QPalette::ButtonText);
                    back = w->palette().color(QPalette::Button);
                } else if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
                    fore = w->palette().color(w->foregroundRole());
                    const QWidget* sheet = w;
                    while (!sheet->autoFillBackground() && !sheet->isWindow())
                        sheet = sheet->parentWidget();
                    back = sheet->palette().color(sheet->backgroundRole());
                } else {
                    continue;
                }
                if (Contrast(fore, back) < 4.5)
                    illegible << w->objectName() + ": " + fore.name() + " on " + back.name();
            }
        QCOMPARE(illegible, QStringList());
    }

    // Each button keeps its fixed size, and its caption has the height it needs
    // (or all the button has) in every style, Windows' own with its wide margins too.
    void captionsFitTheirButtons_data() {
        QTest::addColumn<QString>("style");
        QTest::newRow("Windows") << "Windows";
        QTest::newRow("Fusion") << "Fusion";
    }
    void captionsFitTheirButtons() {
        QFETCH(QString, style);
        const QString saved = QApplication::style()->name();
        const auto restore = qScopeGuard([&] { QApplication::setStyle(saved); });
        QVERIFY(QApplication::setStyle(style));
        cUpdateJob job(m_db, m_dir.path());
        frmMain main(m_platform, m_db, job, m_dir.path());
        frmAbout about(m_platform, job, &main);
        int intButtons = 0;
        // The About window is the main window's child.
        for (QWidget* window : std::initializer_list<QWidget*>{&main, main.LogWindow()})
            for (QPushButton* button : window->findChildren<QPushButton*>()) {
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = button->text();
                const QRect room =
                    button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
                QVERIFY2(button->rect().contains(room) &&
                             room.height() >= qMin(button->height(), option.fontMetrics.height()),
                         qPrintable(button->objectName()));
                ++intButtons;
            }
        QCOMPARE(intButtons, 7);
        // The caption is drawn whole even when a style hands it a room of 4 pixels.
        QPushButton* cmdVer = main.findChild<QPushButton*>("cmdVer");
        QCOMPARE(cmdVer->size(), QSize(71, 15));
        QImage image(cmdVer->size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QStyleOptionButton option;
        option.initFrom(cmdVer);
        option.text = cmdVer->text();
        option.rect = QRect(0, 6, 71, 4);
        QPainter painter(&image);
        cmdVer->style()->drawControl(QStyle::CE_PushButtonLabel, &option, &painter, cmdVer);
        painter.end();
        int intInkedRows = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    ++intInkedRows;
                    break;
                }
        QVERIFY2(intInkedRows > 6, qPrintable(QString::number(intInkedRows)));
    }

    // Where the Windows fonts are missing, every font the windows name and the default
    // of those that name none are drawn in one face, so a log line keeps one size.
    void namedFontsShareOneFace() {
        if (!QFontDatabase::hasFamily("Noto Sans CJK JP") || QFontDatabase::hasFamily("Arial"))
            QSKIP("needs Noto Sans CJK JP and no Windows fonts");
        const QFont saved = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(saved); });
        modFontSubstitutes::InstallFontSubstitutes();
        for (const char* family : {"", "ＭＳ Ｐゴシック", "MS PGothic", "Verdana", "Arial"})
            QCOMPARE(QFontInfo(*family ? QFont(family) : QApplication::font()).family(),
                     "Noto Sans CJK JP");
    }

    void qtDialogsSpeakJapanese() {
        QTranslator translator;
        QVERIFY(modQtLanguage::InstallJapanese(translator));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Save"), "保存(&S)");
    }
};

QTEST_MAIN(tst_app)
#include "tst_app.moc"
