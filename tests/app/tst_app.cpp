#include "app/modDataFolder.h"
#include "app/modQtLanguage.h"
#include "lookup/cNumberDB.h"
#include "lookup/modFileIO.h"
#include "mainwindow/frmMain.h"
#include "platform/cFakePlatform.h"
#include "searchlog/frmLog.h"
#include "update/frmAbout.h"

#include <QAccessible>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace {

// A one-record database whose tail carries the version; -1 gives a tail without one.
QByteArray Database(int version) {
    return "00020406AC1302004011500" + QByteArray::number(version).rightJustified(4, 'x') + "00";
}

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

} // namespace

class tst_app : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    cFakePlatform m_platform;
    cNumberDB m_db;

private slots:
    void dataFolder_data() {
        QTest::addColumn<bool>("writable");
        // Database versions; 0: no file, -1: no version in its tail, -2: a file
        // where the user's data folder should be made.
        QTest::addColumn<int>("installed");
        QTest::addColumn<int>("own");
        QTest::addColumn<bool>("userFolder");
        QTest::addColumn<int>("ownAfter");
        QTest::newRow("writable") << true << 1000 << 0 << false << 0;
        QTest::newRow("first start") << false << 1000 << 0 << true << 1000;
        QTest::newRow("updated copy kept") << false << 1000 << 1001 << true << 1001;
        QTest::newRow("newer installed") << false << 1001 << 1000 << true << 1001;
        QTest::newRow("damaged copy") << false << 1000 << -1 << true << 1000;
        QTest::newRow("no user folder") << false << 1000 << -2 << false << 0;
    }
    void dataFolder() {
        QFETCH(bool, writable);
        QFETCH(int, installed);
        QFETCH(int, own);
        QFETCH(bool, userFolder);
        QFETCH(int, ownAfter);
        QTemporaryDir program, home;
        const QString user = home.path() + "/share/Lumivo";
        if (installed)
            QVERIFY(modFileIO::WriteFileWhole(program.path() + "/db.dat", Database(installed))
                        .isEmpty());
        if (own == -2)
            QVERIFY(modFileIO::WriteFileWhole(home.path() + "/share", "not a folder").isEmpty());
        else if (own && QDir().mkpath(user))
            QVERIFY(modFileIO::WriteFileWhole(user + "/db.dat", Database(own)).isEmpty());
        const modDataFolder::tDataFolder data =
            modDataFolder::ChooseDataFolder(program.path(), writable, user);
        QCOMPARE(data.folder, userFolder ? user : program.path());
        QCOMPARE(data.error.contains(user), own == -2); // only a failed copy is reported
        QFile copy(user + "/db.dat");
        QCOMPARE(copy.open(QIODevice::ReadOnly) ? copy.readAll() : "",
                 ownAfter ? Database(ownAfter) : "");
        // The installed database is never touched.
        QCOMPARE(QFile(program.path() + "/db.dat").size(), installed ? 29 : 0);
    }
    void everyVisibleControlIsNamed_data() {
        QTest::addColumn<QStringList>("row"); // control, name (empty: hidden), label
        QTest::newRow("number") << QStringList{"txtInputNum", "電話番号", "lblInfo(0)"};
        QTest::newRow("result") << QStringList{"txtResult", "事業者", "lblInfo(1)"};
        QTest::newRow("map") << QStringList{"picMap(0)", "地図", ""};
        QTest::newRow("database box") << QStringList{"txtNumDB", "", ""};
        QTest::newRow("exit button") << QStringList{"cmdExit", "", ""};
        QTest::newRow("highlight sheet") << QStringList{"picMap(1)", "", ""};
        QTest::newRow("log list") << QStringList{"lstLog", "検索ログ", ""};
        QTest::newRow("logo") << QStringList{"picSoftwareLogo",
                                             "Lumivoのロゴ: 作者ウェブページを開く", ""};
        QTest::newRow("notice") << QStringList{"lblNotice", "お知らせ: 作者ウェブページを開く", ""};
    }
    void everyVisibleControlIsNamed() {
        QFETCH(QStringList, row);
        frmMain main(m_platform, m_db, m_dir.path());
        frmAbout about(m_platform, m_db, m_dir.path(), &main, {});
        QWidget* control = nullptr;
        for (QWidget* window : std::initializer_list<QWidget*>{&main, main.LogWindow(), &about}) {
            window->show();
            QCOMPARE(Unnamed(QAccessible::queryAccessibleInterface(window)), QStringList());
            control = control ? control : window->findChild<QWidget*>(row[0]);
        }
        auto* node = QAccessible::queryAccessibleInterface(control);
        QCOMPARE(node->state().invisible, row[1].isEmpty());
        QCOMPARE(node->text(QAccessible::Name), row[1]);
        const auto labels = node->relations(QAccessible::Label);
        QCOMPARE(labels.isEmpty() ? "" : labels[0].first->object()->objectName(), row[2]);
    }

    void mapDescribesTheMarkedRegion() {
        const QString regions[] = {"関西", "関東", "九州",   "四国", "中国",       "東海",
                                   "東北", "北陸", "北海道", "沖縄", "九州・沖縄", ""};
        frmMain main(m_platform, m_db, m_dir.path());
        for (short area : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 99}) {
            main.MarkArea(area);
            QCOMPARE(main.findChild<QWidget*>("picMap(0)")->accessibleDescription(),
                     regions[qMin<int>(area, 11)]);
        }
    }

    void qtDialogsSpeakJapanese() {
        QTranslator translator;
        QVERIFY(modQtLanguage::InstallJapanese(translator));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Save"), "保存(&S)");
    }
};

QTEST_MAIN(tst_app)
#include "tst_app.moc"
