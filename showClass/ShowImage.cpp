#include "showClass/ShowImage.h"

#include <QColor>
#include <QPainter>

ShowImage::ShowImage(QQuickItem *parent) : QQuickPaintedItem(parent), pixmap(512, 512)
{
    pixmap.fill(QColor("black"));
}

ShowImage::~ShowImage() = default;

void ShowImage::setPixmap(QPixmap sectorImage, bool inIsAll)
{
    pixmap = std::move(sectorImage);
    isAll = inIsAll;
    update(QRect());
}

void ShowImage::paint(QPainter *painter)
{
    if (pixmap.isNull())
        return;
    const QPixmap scaled =
        pixmap.scaled(int(width()), int(height()), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const int left = int((width() - scaled.width()) * 0.5);
    const int top = int((height() - scaled.height()) * 0.5);
    painter->drawPixmap(QRect(left, top, scaled.width(), scaled.height()), scaled);
}
