#include "CoreFrontEnd.h"

#include "app/InformationCenter.h"
#include "netClass/CmdDialog.h"
#include "showClass/ShowImage.h"
#include "showClass/ShowPoint.h"

#include <QCoreApplication>
#include <QTest>

CoreFrontEnd::CoreFrontEnd()
    : hub(new InformationCenter(&root)), cmd(new CmdDialog(&root)), image(new ShowImage),
      view(new ShowPoint)
{
    view->setObjectName("c_cppShowPoint");
    view->setParent(&root);
    hub->setObjectName("c_cppInformationCenter");
    cmd->setObjectName("c_cppCmdDialog");
    image->setObjectName("c_cppShowImage");
    image->setParent(&root);
    image->setSize(QSizeF(100, 100));
    cmd->setWarningPresenter([](const QString &, const QString &) {});
}

bool CoreFrontEnd::connectThroughSearch(const QString &address, int timeoutMs)
{
    emit hub->sigCreateSearchThread(true);
    emit hub->sigConnecting(true, address);
    return QTest::qWaitFor([this] { return hub->connectOK(); }, timeoutMs);
}

InstalledCatalogue::InstalledCatalogue(const QString &path)
{
    if (!path.isEmpty())
        ok = translator.load(path) && QCoreApplication::installTranslator(&translator);
}

InstalledCatalogue::~InstalledCatalogue()
{
    QCoreApplication::removeTranslator(&translator);
}
