#pragma once

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QRgb>

// Six fixed palettes of 1024 opaque colours (0xFFRRGGBB). Index 0 to 4 picks that palette;
// any other index picks the sixth.
class ColorTable
{
    Q_GADGET
public:
    // Only the type of the state hub's colorTable property; nothing reads the names.
    enum colorName {
        Palette0 = 0,
        Palette1,
        Palette2,
        Palette3,
        Palette4,
        Palette5,
        Default, // 6: the hub's initial value
    };
    Q_ENUM(colorName)

    static ColorTable &instance();

    ColorTable();
    void init();

    // The palette an index picks: 0 to 4 that one, anything else the sixth (5).
    static int paletteIndex(int index) { return index >= 0 && index <= 4 ? index : 5; }

    QList<QRgb> palette(int index) const;
    QRgb color(int index, quint16 value) const;

private:
    const QList<QRgb> &select(int index) const;
    QList<QRgb> m_palettes[6];
};

Q_DECLARE_METATYPE(ColorTable::colorName)
