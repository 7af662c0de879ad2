#pragma once

#include <QObject>

class QQuickWindow;

// Saves the contents of a Qt Quick window as "./KXShot/KXShot_<time>.PNG".
class ScreenShot : public QObject
{
    Q_OBJECT

public:
    explicit ScreenShot(QObject *parent = nullptr);
    ~ScreenShot() override;

public slots:
    void shotScreen(QQuickWindow *rootWin);
};
