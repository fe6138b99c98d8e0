// SPDX-License-Identifier: Apache-2.0
#include "frmLog.h"

#include "cCaptionFitStyle.h"
#include "cNumberDB.h"
#include "cPlatform.h"
#include "modLogExport.h"
#include "modLogSave.h"
#include "modTwips.h"
#include "tLogLine.h"

#include <QListWidget>
#include <QPushButton>
#include <cmath>

using modTwips::Px;

frmLog::frmLog(cPlatform& platform, const cNumberDB& db)
    : QWidget(nullptr, Qt::Window), m_platform(platform), m_db(db) {
    setObjectName(QStringLiteral("frmLog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("検索ログ"));
    // Outer 4800 x 3720 twips; the client area is 4680 x 3045.
    resize(Px(4680), Px(3045));
    move(0, y());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    lstLog = new QListWidget(this);
    lstLog->setObjectName(QStringLiteral("lstLog"));
    lstLog->setSortingEnabled(false);

    const QString captions[2] = {QStringLiteral("ログを消去(&D)"),
                                 QStringLiteral("ログを保存...(&S)")};
    for (short i = 0; i < 2; ++i) {
        cmdLogCommand[i] = new QPushButton(captions[i], this);
        cmdLogCommand[i]->setObjectName(QStringLiteral("cmdLogCommand(%1)").arg(i));
        cmdLogCommand[i]->setAutoDefault(false);
        cmdLogCommand[i]->setEnabled(false);
        cmdLogCommand[i]->setGeometry(modTwips::TwipsRect(2340 * i, 2625, 2340, 350));
        connect(cmdLogCommand[i], &QPushButton::clicked, this,
                [this, i] { cmdLogCommand_Click(i); });
    }
    lstLog->setGeometry(modTwips::TwipsRect(0, 0, 4680, 2580));
    setTabOrder(cmdLogCommand[0], cmdLogCommand[1]);
    cCaptionFitStyle::FitButtons(this);
    SetAccessibility();
}

frmLog::tLayout frmLog::LayoutFor(double dblWidth, double dblHeight) {
    if (dblHeight <= 465)
        return {false, 0, 0, 0, 0};
    // The width goes to a whole number with ties to even before it is halved.
    const int half = int(std::nearbyint(float(dblWidth))) / 2;
    return {true, int(dblWidth), int(dblHeight - 465), int(dblHeight - 420), half};
}

void frmLog::resizeEvent(QResizeEvent*) {
    FormResize();
}

void frmLog::FormResize() {
    const tLayout layout = LayoutFor(modTwips::Twips(width()), modTwips::Twips(height()));
    if (!layout.blnChanged)
        return;
    lstLog->setGeometry(modTwips::TwipsRect(0, 0, layout.intListWidth, layout.intListHeight));
    cmdLogCommand[0]->setGeometry(
        modTwips::TwipsRect(0, layout.intButtonTop, layout.intButtonWidth, 350));
    cmdLogCommand[1]->setGeometry(modTwips::TwipsRect(layout.intButtonWidth, layout.intButtonTop,
                                                      layout.intButtonWidth, 350));
}

void frmLog::cmdLogCommand_Click(short intIndex) {
    switch (intIndex) {
    case 0:
        cmdLogCommand[0]->setEnabled(false);
        cmdLogCommand[1]->setEnabled(false);
        setWindowTitle(QStringLiteral("検索ログ"));
        lstLog->clear();
        break;
    case 1:
        if (SaveLogFile() == 1)
            m_platform.MsgBox(QStringLiteral("ログファイルは保存されませんでした。"),
                              eMsgStyle::Information);
        break;
    default:
        m_platform.MsgBox(QStringLiteral("Index値が異常です。"), eMsgStyle::OkOnly);
        break;
    }
}

void frmLog::EnableCommands() {
    cmdLogCommand[0]->setEnabled(true);
    cmdLogCommand[1]->setEnabled(true);
}

void frmLog::AddSearch(QStringView strNumber, QStringView strResult) {
    if (lstLog->count() >= MaxLines)
        delete lstLog->takeItem(0);
    lstLog->addItem(tLogLine::Make(strNumber, strResult).text);
    const int count = lstLog->count();
    setWindowTitle(QStringLiteral("検索ログ - %1件検索しました。").arg(count));
    lstLog->setCurrentRow(count - 1);
}

QStringList frmLog::LogLines() const {
    QStringList lines;
    for (int i = 0; i < lstLog->count(); ++i)
        lines.append(lstLog->item(i)->text());
    return lines;
}

int frmLog::SaveLogFile() {
    return modLogSave::SaveLogFile(m_platform, this, LogLines(), m_db.DBDate(), m_db.DBVersion());
}
QString frmLog::GetDBYear() const {
    return modLogExport::GetDBYear(m_db.DBDate());
}
QString frmLog::GetDBMonth() const {
    return modLogExport::GetDBMonth(m_db.DBDate());
}
QString frmLog::GetDBVersion() const {
    return m_db.DBVersion();
}

void frmLog::SetAccessibility() {
    lstLog->setAccessibleName(QStringLiteral("検索ログ"));
}
