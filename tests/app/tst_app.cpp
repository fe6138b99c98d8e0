#include "app/modDataFolder.h"
#include "app/modQtLanguage.h"
#include "lookup/cNumberDB.h"
#include "lookup/modFileIO.h"
#include "mainwindow/cPictureBox.h"
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
    void dataFolder() {
        // Program folder writable, installed database version, the user's own (0: none,
        // -1: no version in its tail, -2: a file where the user's folder should be made),
        // user folder chosen, the user's version afterwards (0: no copy).
        const int rows[][5] = {
            {1, 1000, 0, 0, 0},       // writable
            {0, 1000, 0, 1, 1000},    // first start
            {0, 1000, 1001, 1, 1001}, // updated copy kept
            {0, 1001, 1000, 1, 1001}, // newer installed
            {0, 1000, -1, 1, 1000},   // damaged copy
            {0, 1000, -2, 0, 0},      // no user folder
        };
        for (const auto& [writable, shipped, own, userFolder, ownAfter] : rows) {
            QTemporaryDir app, home;
            const QString user = home.path() + "/share/Lumivo";
            QVERIFY(modFileIO::WriteFileWhole(app.filePath("db.dat"), Database(shipped)).isEmpty());
            if (own == -2) // a file where the folder should be
                QVERIFY(modFileIO::WriteFileWhole(home.path() + "/share", "x").isEmpty());
            else if (own && QDir().mkpath(user))
                QVERIFY(modFileIO::WriteFileWhole(user + "/db.dat", Database(own)).isEmpty());
            const auto data = modDataFolder::ChooseDataFolder(app.path(), writable, user);
            QCOMPARE(data.folder, userFolder ? user : app.path());
            QCOMPARE(data.error.contains(user), own == -2); // only a failed copy is reported
            QFile copy(user + "/db.dat");
            QCOMPARE(copy.open(QIODevice::ReadOnly) ? copy.readAll() : "",
                     ownAfter ? Database(ownAfter) : "");
            // The installed database is never touched.
            QCOMPARE(QFile(app.filePath("db.dat")).size(), 29);
        }
    }
    void everyVisibleControlIsNamed() {
        // Control, name (empty: hidden), label.
        const QStringList rows[] = {
            {"txtInputNum", "電話番号", "lblInfo(0)"},
            {"txtResult", "事業者", "lblInfo(1)"},
            {"picMap(0)", "地図", ""},
            {"txtNumDB", "", ""},
            {"cmdExit", "", ""},
            {"picMap(1)", "", ""},
            {"lstLog", "検索ログ", ""},
            {"picSoftwareLogo", "Lumivoのロゴ: 作者ウェブページを開く", ""},
            {"lblNotice", "お知らせ: 作者ウェブページを開く", ""},
        };
        frmMain main(m_platform, m_db, m_dir.path());
        frmAbout about(m_platform, m_db, m_dir.path(), &main, {});
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
        // The map tells which region is marked.
        const QString regions[] = {"関西", "関東", "九州",   "四国", "中国",       "東海",
                                   "東北", "北陸", "北海道", "沖縄", "九州・沖縄", ""};
        for (short area : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 99}) {
            main.MarkArea(area);
            QCOMPARE(main.picMap[0]->accessibleDescription(), regions[qMin<int>(area, 11)]);
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
