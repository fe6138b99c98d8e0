// SPDX-License-Identifier: Apache-2.0
#include "cFakePlatform.h"
#include "cNumberDB.h"
#include "cUpdateJob.h"
#include "frmAbout.h"
#include "modErrorWords.h"
#include "modTestFiles.h"
#include "ucrAsync.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using eOutcome = cUpdateJob::eOutcome;
using eStage = cUpdateJob::eStage;

namespace {

cNumberDB Database(const QString& strVersion, const QString& strDate) {
    cNumberDB db;
    db.SetBytes(modTestFiles::DBBytes(strVersion, strDate));
    return db;
}

// The About window over a job of database 1000 of 2004/01/15; the job's signals
// are raised by the test.
struct tWindowRig {
    QTemporaryDir dir;
    cNumberDB db = Database("1000", "20040115");
    cUpdateJob job{db, dir.path()};
    cFakePlatform platform;
    QWidget owner;
    frmAbout about{platform, job, &owner};
    tWindowRig() { job.Reader().SetHost("127.0.0.1:1"); } // its failure waits for the loop
    template <class T = QLabel> T* Child(const char* n) const { return about.findChild<T*>(n); }
    QLabel* Status() const { return Child("lblConnectionStatus"); }
    QTimer* Propose() const { return Child<QTimer>("tmrPropose"); }
};

} // namespace

class tst_about : public QObject {
    Q_OBJECT

private slots:
    // The windows' words where they hold more than a kind's own sentence.
    void errorWords_data() { modTestFiles::AddDataRows(QFINDTESTDATA("error-words.txt")); }
    void errorWords() {
        QFETCH(QStringList, row);
        QCOMPARE(modErrorWords::IoErrorText(modTestFiles::ErrorOf(row[1])), row[2]);
    }

    void windowAtLoad() {
        tWindowRig rig;
        // clang-format off
        const QStringList shown = {rig.about.windowTitle(), rig.Child("lblVersion(0)")->text(), rig.Child("lblNotice")->text(),
            rig.Child("picSoftwareLogo")->toolTip(), rig.Child<QPushButton>("cmdUpdate")->text(), rig.Status()->text()};
        const QStringList texts = {"Lumivoについて", "Software Version: 1.30   DataBase Version: 1000  2004/01/15",
            "サービス名および製品名は一般に各社の登録商標または商標です。\r\nアイコン・イラスト: ルミボ工房のオリジナルです。\r\n"
            "Lumivoの最新版は https://lumivo.example で公開しています。\r\nここをクリックすると、作者ウェブページを開きます。",
            "クリックすると、作者ウェブページを開きます。", "データベース更新(&U)", ""};
        // clang-format on
        QCOMPARE(shown, texts);
        QCOMPARE(rig.Propose()->interval(), 10000);
        QCOMPARE(rig.about.HeightTwips(), 3240);

        rig.about.show();
        QVERIFY(QTest::qWaitForWindowActive(&rig.about));
        for (const char* label : {"picSoftwareLogo", "lblNotice", "lblVersion(0)"})
            QTest::mouseClick(rig.Child(label), Qt::LeftButton);
        QCOMPARE(rig.platform.openedUrls, QStringList(2, "https://lumivo.example/?lumivo"));
        // cmdUpdate holds the focus, and Esc starts the update instead of closing.
        QCOMPARE(rig.about.focusWidget(), rig.Child<QPushButton>("cmdUpdate"));
        QTest::keyClick(rig.about.focusWidget(), Qt::Key_Escape);
        QCOMPARE(rig.Status()->text(), "○番号検索データベースの最新版をチェックしています。");
        QCOMPARE(rig.Status()->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(rig.about.HeightTwips(), 3630);
        QVERIFY(rig.about.isVisible() && rig.job.Running());
    }

    // The window's table, row by row: the outcome (with the error a job gives it and
    // the detail "why") after a download has shown 20 of 40 bytes; what the status
    // line, the box and the beep then show, and whether the line folds away.
    void outcomeShown_data() { modTestFiles::AddDataRows(QFINDTESTDATA("about-outcomes.txt")); }
    void outcomeShown() {
        QFETCH(QStringList, row);
        const QString &status = row[2], &box = row[3];
        bool blnKnown = false;
        const auto outcome =
            eOutcome(QMetaEnum::fromType<eOutcome>().keyToValue(qPrintable(row[0]), &blnKnown));
        QVERIFY(blnKnown);
        tWindowRig rig;
        rig.Child<QPushButton>("cmdUpdate")->click();
        for (const auto& [stage, cur, max] : {std::tuple{eStage::VersionRead, 0, 0},
                                              {eStage::Downloading, 0, 0},
                                              {eStage::Received, 20, 40}})
            emit rig.job.Progress(stage, cur, max);
        const QString progress = "○最新の番号検索データベースをダウンロード中です。20 of 40 Bytes";
        QCOMPARE(rig.Status()->text(), progress);
        rig.db = Database("1001", "20261206"); // what an update leaves
        emit rig.job.Finished({outcome, modTestFiles::ErrorOf(row[1]), "why"});

        QCOMPARE(rig.Status()->text(), status == "keep" ? progress : status);
        QCOMPARE(rig.Status()->palette().color(QPalette::WindowText),
                 status.isEmpty() ? QColor(Qt::black) : QColor(255, 128, 0));
        QCOMPARE(rig.platform.msgBoxes, box.isEmpty() ? QStringList() : QStringList(box));
        QCOMPARE(rig.platform.beeps, row[4].toInt());
        QCOMPARE(rig.Child("lblVersion(0)")->text().right(16),
                 outcome == eOutcome::Updated ? "1001  2026/12/06" : "1000  2004/01/15");
        // A read that brought nothing folds the window at once; otherwise the timer does.
        QCOMPARE(rig.about.HeightTwips(), status.isEmpty() ? 3240 : 3630);
        QCOMPARE(rig.Propose()->isActive(), !status.isEmpty());
    }
};

QTEST_MAIN(tst_about)
#include "tst_about.moc"
