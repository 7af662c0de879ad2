#include "showClass/ShowImage.h"

#include <QColor>
#include <QPainter>

ShowImage::ShowImage(QQuickItem *parent) : QQuickPaintedItem(parent), m_pixmap(512, 512)
{
    m_pixmap.fill(QColor("black"));
}

ShowImage::~ShowImage() = default;

void ShowImage::setPixmap(QPixmap sectorImage, bool inIsAll)
{
    m_pixmap = std::move(sectorImage);
    m_isAll = inIsAll;
    update(QRect());
}

void ShowImage::paint(QPainter *painter)
{
    if (m_pixmap.isNull())
        return;
    const QPixmap scaled =
        m_pixmap.scaled(int(width()), int(height()), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const int left = int((width() - scaled.width()) * 0.5);
    const int top = int((height() - scaled.height()) * 0.5);
    painter->drawPixmap(QRect(left, top, scaled.width(), scaled.height()), scaled);
}
