#pragma once

#include <QPixmap>
#include <QQuickPaintedItem>

// The Qt Quick item that shows the sector image: the last pixmap received, stretched over
// the item's rectangle.
class ShowImage : public QQuickPaintedItem
{
    Q_OBJECT

public:
    explicit ShowImage(QQuickItem *parent = nullptr);
    ~ShowImage() override;

    void paint(QPainter *painter) override;

public slots:
    void setPixmap(QPixmap sectorImage, bool isAll);

private:
    QPixmap m_pixmap;
    bool m_isAll = false;
};
