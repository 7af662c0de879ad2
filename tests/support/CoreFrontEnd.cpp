#include "CoreFrontEnd.h"

#include "SilentPrompt.h"
#include "app/InformationCenter.h"
#include "netClass/CmdDialog.h"
#include "showClass/ShowImage.h"
#include "showClass/ShowPoint.h"

#include <QCoreApplication>
#include <QTest>

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
    emit m_hub->sigCreateSearchThread(true);
    emit m_hub->sigConnecting(true, address);
    return QTest::qWaitFor([this] { return m_hub->connectOK(); }, timeoutMs);
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
