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
    // The windows' words where they hold more than a kind's own sentence: a size
    // with and without its limit, the system's number, and what became of a file
    // rewritten in place.
    void errorWords_data() {
        QTest::addColumn<tIoError>("error");
        QTest::addColumn<QString>("words");
        using enum eIoError;
        // clang-format off
        QTest::newRow("too large") << tIoError::Of(TooLarge, 27) << "ファイルが大きすぎます。";
        QTest::newRow("too large, limit") << tIoError::Limit(4096) << "ファイルが大きすぎます（上限 4096 バイト）。";
        QTest::newRow("other: the number") << tIoError::Of(Other, 5) << "予期しないエラーが発生しました。（エラー番号 5）";
        const auto inPlace = [](eOldFile old) {
            tIoError error = tIoError::Of(NoSpace, 28);
            error.oldFile = old;
            return error;
        };
        QTest::newRow("in place, kept") << inPlace(eOldFile::Restored) << "ディスクの空き容量が不足しています。元のファイルは変更されていません。";
        QTest::newRow("in place, tail left") << inPlace(eOldFile::TailLeft) << "ディスクの空き容量が不足しています。元のファイルの末尾に余分なデータが残りました。";
        QTest::newRow("in place, partly") << inPlace(eOldFile::PartlyRewritten) << "ディスクの空き容量が不足しています。元のファイルは一部が書き換えられています。";
        // clang-format on
    }
    void errorWords() {
        QFETCH(tIoError, error);
        QTEST(modErrorWords::IoErrorText(error), "words");
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
    void outcomeShown_data() {
        QTest::addColumn<eOutcome>("outcome");
        QTest::addColumn<tIoError>("error");
        QTest::addColumn<QString>("status"); // "keep": "…20 of 40 Bytes" stays
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("beeps");
        using enum eOutcome;
        const tIoError none, full = tIoError::Of(eIoError::NoSpace, 28),
                             url = tIoError::Of(eIoError::BadAddress, 302),
                             bad = tIoError::Of(eIoError::BadContent);
        const QString notUpdated = "\r\nデータベースは更新していません。";
        // clang-format off
        QTest::newRow("Updated") << Updated << none << "OK 最新のデータベースに更新しました。" << "" << 1;
        QTest::newRow("UpToDate") << UpToDate << none << "○現在ご使用中のデータベースが最新です。" << "" << 1;
        QTest::newRow("LocalNewer") << LocalNewer << none << "△ローカルデータベースがより最新です。" << "" << 1;
        QTest::newRow("SoftwareDiffers") << SoftwareDiffers << none << "NG ソフトウェアの最新版をダウンロードしてください。" << "0||このバージョンのLumivoは自動更新できません。\r\n最新版をダウンロードしてください。" << 0;
        QTest::newRow("Unusable") << Unusable << none << "NG 最新版の情報を読み取れませんでした。" << "" << 1;
        QTest::newRow("DigitError") << DigitError << none << "NG 最新版の情報を読み取れませんでした。" << "0||DigitError." << 1;
        QTest::newRow("NoAnswer") << NoAnswer << none << "" << "64|接続できませんでした。|ネット接続が切断されました。\r\n現在ご利用のPCがオフラインモード。または、データベースサーバーがメンテナンス中です。\r\nデータベースサーバーの状態は、作者ウェブページでお知らせしています。" << 0;
        QTest::newRow("TooLarge") << TooLarge << tIoError::Limit(42) << "" << "0||ファイルが大きすぎるため、読み込みを中止しました。\r\n(上限 42 Bytes)" << 0;
        QTest::newRow("CheckNotStarted") << CheckNotStarted << url << "keep" << "16|コールポイントCheckVer|次のエラーが発生しました。\r\nエラー番号: " "302\r\nエラーの詳細: URLを解釈できません。(why)" << 0;
        QTest::newRow("DownloadNotStarted") << DownloadNotStarted << tIoError::Of(eIoError::NotHttp, 301) << "keep" << "16|コールポイントStartDownload|次のエラーが発生しました。\r\nエラー番号:" "301\r\nエラーの詳細:HTTP以外のURLは読めません。(why)" << 0;
        QTest::newRow("InstalledFolder") << InstalledFolder << none << "NG データベースを更新できませんでした。" << "16||" "インストールされたデータベースは更新できません。\r\n起動時のメッセージにある利用者のdb." "datを読み取れるようにしてから、起動し直してください。" << 0;
        QTest::newRow("NoTempName") << NoTempName << tIoError::Of(eIoError::NoFreeName) << "NG データベースを更新できませんでした。" << "16||データベースを更新できませんでした。\r\n一時ファイルの名前が足りません。" << 0;
        QTest::newRow("WrongSize") << WrongSize << none << "keep" << "0||バイトエラー" << 0;
        QTest::newRow("NotDatabase") << NotDatabase << bad << "NG ダウンロードしたファイルはデータベースではありません。" << "0||ダウンロードしたファイルは番号検索データベースではありません。" + notUpdated << 0;
        QTest::newRow("VersionDiffers") << VersionDiffers << bad << "NG ダウンロードしたデータベースのバージョンが違います。" << "0||ダウンロードしたデータベースのバージョン(why)が、最新版の情報と一致しません。" + notUpdated << 0;
        QTest::newRow("NotWritten") << NotWritten << full << "NG ダウンロードしたデータベースを保存できませんでした。" << "16||ダウンロードしたデータベースを保存できませんでした。\r\nディスクの空き容量が不足しています。" + notUpdated << 0;
        QTest::newRow("SwapFailed") << SwapFailed << tIoError::Of(eIoError::PermissionDenied, 13) << "NG データベースを更新できませんでした。" << "16||" "データベースを更新できませんでした。\r\nファイルの名前の変更または削除ができませんでし" "た。\r\nアクセスが拒否されました。\r\nこれまでのデータベースをそのまま使用します。" << 0;
        QTest::newRow("VersionNotSigned") << VersionNotSigned << none << "NG 最新版の情報の署名を確認できませんでした。" << "0||最新版の情報の署名を確認できませんでした。" + notUpdated << 0;
        QTest::newRow("DatabaseNotSigned") << DatabaseNotSigned << none << "NG データベースの署名を確認できませんでした。" << "0||データベースの署名を確認できませんでした。" + notUpdated << 0;
        // clang-format on
    }
    void outcomeShown() {
        QFETCH(eOutcome, outcome);
        QFETCH(tIoError, error);
        QFETCH(QString, status);
        QFETCH(QString, box);
        tWindowRig rig;
        rig.Child<QPushButton>("cmdUpdate")->click();
        for (const auto& [stage, cur, max] : {std::tuple{eStage::VersionRead, 0, 0},
                                              {eStage::Downloading, 0, 0},
                                              {eStage::Received, 20, 40}})
            emit rig.job.Progress(stage, cur, max);
        const QString progress = "○最新の番号検索データベースをダウンロード中です。20 of 40 Bytes";
        QCOMPARE(rig.Status()->text(), progress);
        rig.db = Database("1001", "20261206"); // what an update leaves
        emit rig.job.Finished({outcome, error, "why"});

        QCOMPARE(rig.Status()->text(), status == "keep" ? progress : status);
        QCOMPARE(rig.Status()->palette().color(QPalette::WindowText),
                 status.isEmpty() ? QColor(Qt::black) : QColor(255, 128, 0));
        QCOMPARE(rig.platform.msgBoxes, box.isEmpty() ? QStringList() : QStringList(box));
        QTEST(rig.platform.beeps, "beeps");
        QCOMPARE(rig.Child("lblVersion(0)")->text().right(16),
                 outcome == eOutcome::Updated ? "1001  2026/12/06" : "1000  2004/01/15");
        // A read that brought nothing folds the window at once; otherwise the timer does.
        QCOMPARE(rig.about.HeightTwips(), status.isEmpty() ? 3240 : 3630);
        QCOMPARE(rig.Propose()->isActive(), !status.isEmpty());
    }
};

QTEST_MAIN(tst_about)
#include "tst_about.moc"
