#include "app/modDataFolder.h"
#include "app/modQtLanguage.h"
#include "lookup/cNumberDB.h"
#include "mainwindow/cPictureBox.h"
#include "mainwindow/frmMain.h"
#include "platform/cFakePlatform.h"
#include "searchlog/frmLog.h"
#include "update/frmAbout.h"

#include <QAccessible>
#include <QLabel>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace {

// A one-record database whose tail carries the version (4 characters).
QByteArray Database(const QByteArray& version) {
    return "00020406AC130" + QByteArray("2004011500") + version + "00";
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QAccessibleInterface* Find(QAccessibleInterface* node, const QString& name) {
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (child->object()->objectName() == name)
            return child;
        if (QAccessibleInterface* found = Find(child, name))
            return found;
    }
    return nullptr;
}

// Visible nodes with nothing to say: plain panes and an empty status line.
QStringList Unnamed(QAccessibleInterface* node) {
    QStringList unnamed;
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (child->state().invisible)
            continue;
        const bool silent = child->role() == QAccessible::Client ||
                            (child->role() == QAccessible::StaticText &&
                             qobject_cast<QLabel*>(child->object())->text().isEmpty());
        if (!silent && child->text(QAccessible::Name).isEmpty())
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
        QTest::addColumn<QByteArray>("installed"); // database versions; empty: no file
        QTest::addColumn<QByteArray>("own");
        QTest::addColumn<bool>("userFolder");
        QTest::addColumn<QByteArray>("ownAfter");
        QTest::newRow("writable: beside the program")
            << true << QByteArray("1000") << QByteArray() << false << QByteArray();
        QTest::newRow("read-only: first start copies")
            << false << QByteArray("1000") << QByteArray() << true << QByteArray("1000");
        QTest::newRow("read-only: updated copy kept")
            << false << QByteArray("1000") << QByteArray("1001") << true << QByteArray("1001");
        QTest::newRow("read-only: newer installed")
            << false << QByteArray("1001") << QByteArray("1000") << true << QByteArray("1001");
        QTest::newRow("read-only: damaged copy")
            << false << QByteArray("1000") << QByteArray("x9") << true << QByteArray("1000");
        QTest::newRow("read-only: none installed")
            << false << QByteArray() << QByteArray() << true << QByteArray();
    }
    void dataFolder() {
        QFETCH(bool, writable);
        QFETCH(QByteArray, installed);
        QFETCH(QByteArray, own);
        QFETCH(bool, userFolder);
        QFETCH(QByteArray, ownAfter);
        QTemporaryDir program, home;
        const QString user = home.path() + "/share/Lumivo";
        if (!installed.isEmpty())
            Write(program.path() + "/db.dat", Database(installed));
        if (!own.isEmpty()) {
            QDir().mkpath(user);
            Write(user + "/db.dat", Database(own));
        }
        const modDataFolder::tDataFolder data =
            modDataFolder::ChooseDataFolder(program.path(), writable, user);
        QCOMPARE(data.folder, userFolder ? user : program.path());
        QCOMPARE(data.error, QString());
        QFile copy(user + "/db.dat");
        const QByteArray after = copy.open(QIODevice::ReadOnly) ? copy.readAll() : QByteArray();
        QCOMPARE(after, ownAfter.isEmpty() ? QByteArray() : Database(ownAfter));
        // The installed database is never touched.
        QCOMPARE(QFile(program.path() + "/db.dat").size(), installed.isEmpty() ? 0 : 29);
    }
    void userFolderThatCannotBeMadeIsReported() {
        QTemporaryDir program;
        Write(program.path() + "/db.dat", Database("1000"));
        Write(program.path() + "/file", "not a folder");
        const QString user = program.path() + "/file/Lumivo";
        const modDataFolder::tDataFolder data =
            modDataFolder::ChooseDataFolder(program.path(), false, user);
        QCOMPARE(data.folder, program.path());
        QVERIFY2(data.error.contains(user), qPrintable(data.error));
    }

    void everyVisibleControlIsNamed_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name"); // empty: hidden from screen readers
        QTest::addColumn<QString>("label");
        QTest::newRow("number") << "main"
                                << "txtInputNum"
                                << "電話番号"
                                << "lblInfo(0)";
        QTest::newRow("result") << "main"
                                << "txtResult"
                                << "事業者"
                                << "lblInfo(1)";
        QTest::newRow("map") << "main"
                             << "picMap(0)"
                             << "地図"
                             << "";
        QTest::newRow("database box") << "main"
                                      << "txtNumDB"
                                      << ""
                                      << "";
        QTest::newRow("exit button") << "main"
                                     << "cmdExit"
                                     << ""
                                     << "";
        QTest::newRow("highlight sheet") << "main"
                                         << "picMap(1)"
                                         << ""
                                         << "";
        QTest::newRow("log list") << "log"
                                  << "lstLog"
                                  << "検索ログ"
                                  << "";
        QTest::newRow("logo") << "about"
                              << "picSoftwareLogo"
                              << "Lumivoのロゴ: 作者ウェブページを開く"
                              << "";
        QTest::newRow("notice") << "about"
                                << "lblNotice"
                                << "お知らせ: 作者ウェブページを開く"
                                << "";
    }
    void everyVisibleControlIsNamed() {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(QString, label);
        frmMain main(m_platform, m_db, m_dir.path());
        frmAbout about(m_platform, m_db, m_dir.path(), &main, {});
        QWidget* shown = window == "main" ? static_cast<QWidget*>(&main) : &about;
        if (window == "log")
            shown = main.LogWindow();
        shown->show();
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(shown);
        QCOMPARE(Unnamed(root), QStringList());
        QAccessibleInterface* node = Find(root, control);
        QVERIFY(node);
        QCOMPARE(node->state().invisible, name.isEmpty());
        QCOMPARE(node->text(QAccessible::Name), name);
        const auto labels = node->relations(QAccessible::Label);
        QCOMPARE(labels.isEmpty() ? QString() : labels[0].first->object()->objectName(), label);
    }

    void mapDescribesTheMarkedRegion_data() {
        QTest::addColumn<short>("area");
        QTest::addColumn<QString>("region");
        QTest::newRow("0") << short(0) << "関西";
        QTest::newRow("8") << short(8) << "北海道";
        QTest::newRow("9") << short(9) << "沖縄";
        QTest::newRow("10") << short(10) << "九州・沖縄";
        QTest::newRow("none") << short(99) << "";
    }
    void mapDescribesTheMarkedRegion() {
        QFETCH(short, area);
        QFETCH(QString, region);
        frmMain main(m_platform, m_db, m_dir.path());
        main.MarkArea(5);
        main.MarkArea(area);
        QCOMPARE(
            QAccessible::queryAccessibleInterface(main.picMap[0])->text(QAccessible::Description),
            region);
    }

    void qtSpeaksJapanese_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("japanese");
        QTest::newRow("save button") << "&Save"
                                     << "保存(&S)";
        QTest::newRow("replace question") << "%1 already exists.\nDo you want to replace it?"
                                          << "%1 は既に存在します。\n置き換えますか?";
    }
    void qtSpeaksJapanese() {
        QFETCH(QString, source);
        QFETCH(QString, japanese);
        QTranslator translator;
        QVERIFY(modQtLanguage::InstallJapanese(translator));
        QCOMPARE(QCoreApplication::translate("QFileDialog", source.toUtf8()), japanese);
    }
};

QTEST_MAIN(tst_app)
#include "tst_app.moc"
