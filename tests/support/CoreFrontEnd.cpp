#include "CoreFrontEnd.h"

#include "SilentPrompt.h"
#include "app/InformationCenter.h"
#include "netClass/CmdDialog.h"
#include "showClass/ShowImage.h"
#include "showClass/ShowPoint.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

CoreFrontEnd::CoreFrontEnd()
    : m_hub(new InformationCenter(&m_root)), m_cmd(new CmdDialog(&m_root)), m_image(new ShowImage),
      m_view(new ShowPoint)
{
    m_view->setObjectName("c_cppShowPoint");
    m_view->setParent(&m_root);
    m_hub->setObjectName("c_cppInformationCenter");
    m_cmd->setObjectName("c_cppCmdDialog");
    m_image->setObjectName("c_cppShowImage");
    m_image->setParent(&m_root);
    m_image->setSize(QSizeF(100, 100));
    m_cmd->setPrompt(silentPrompt());
}

bool CoreFrontEnd::connectThroughSearch(const QString &address, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    const auto left = [&] { return int(qMax<qint64>(0, timeoutMs - waited.elapsed())); };
    const auto listed = [this, &address] {
        const QStringList rows = m_hub->searchedNameAndIp();
        return std::any_of(rows.cbegin(), rows.cend(), [&address](const QString &row) {
            return row.section(QLatin1Char('\n'), -1) == address;
        });
    };
    // As the connection panel has it: the search runs, and the operator picks the sonar once
    // the list shows it. A sonar that has only just started may miss the first requests, and
    // a connection asked for before the sonar answered the search would be looked up in vain.
    emit m_hub->sigCreateSearchThread(true);
    emit m_hub->sigSearching(true);
    QSignalSpy failed(m_hub, &InformationCenter::sigTryConnectFailed);
    while (!m_hub->connectOK()) {
        if (!QTest::qWaitFor(listed, left()))
            return false;
        failed.clear();
        emit m_hub->sigConnecting(true, address);
        // A failed attempt (the answer it waited for came too late on a busy machine) is
        // tried again, as the operator would.
        if (!QTest::qWaitFor([&] { return m_hub->connectOK() || !failed.isEmpty(); }, left()))
            return false;
    }
    return true;
}

InstalledCatalogue::InstalledCatalogue(const QString &path)
{
    if (!path.isEmpty())
        m_ok = m_translator.load(path) && QCoreApplication::installTranslator(&m_translator);
}

InstalledCatalogue::~InstalledCatalogue()
{
    QCoreApplication::removeTranslator(&m_translator);
}
