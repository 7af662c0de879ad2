#pragma once

#include <QObject>
#include <QString>
#include <QTranslator>

class CmdDialog;
class InformationCenter;
class ShowImage;
class ShowPoint;

// What main.qml gives the core object, on a plain root object: the four named back-end
// objects (the channel's warnings go nowhere, so nothing waits for a click). The core object
// (MainWindow) is built on root.
struct CoreFrontEnd
{
    CoreFrontEnd();

    QObject m_root;
    InformationCenter *m_hub;
    CmdDialog *m_cmd;
    ShowImage *m_image;
    ShowPoint *m_view;

    // Connects through the device search, as the operator does: searches, waits until the
    // list shows the address, then connects (again after a failed attempt); true once the hub
    // says connected within timeoutMs.
    bool connectThroughSearch(const QString &address, int timeoutMs);
};

// A translation catalogue installed while it lives; an empty path leaves the sources' language.
struct InstalledCatalogue
{
    explicit InstalledCatalogue(const QString &path);
    ~InstalledCatalogue();
    QTranslator m_translator;
    bool m_ok = true;
};
