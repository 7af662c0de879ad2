#include "ColorTable.h"

#include <array>
#include <cstddef>

namespace {

constexpr int palettes = 6;
constexpr int entries = 1024;
constexpr int paletteBytes = 3 * entries;

// A colour every channel of which is fixed at an entry.
struct KeyPoint
{
    int entry;
    int rgb[3];
};

// One channel fixed at an entry between two key points, where the ramp bends away from the
// straight line joining them (by at most three steps).
struct ChannelPoint
{
    int palette;
    int channel;
    int entry;
    int value;
};

constexpr int maxKeys = 24;

struct PaletteKeys
{
    int count;
    KeyPoint keys[maxKeys];
};

constexpr PaletteKeys keys[palettes] = {
    // black, amber, pale yellow, white
    {5,
     {{0, {2, 1, 0}},
      {507, {242, 155, 2}},
      {520, {243, 161, 16}},
      {643, {255, 243, 204}},
      {1023, {255, 255, 255}}}},
    // dark red, red, ochre, yellow
    {4, {{0, {20, 3, 1}}, {493, {217, 33, 18}}, {885, {207, 192, 27}}, {1023, {249, 230, 25}}}},
    // dark green, olive, yellow-green, white
    {6,
     {{0, {1, 9, 0}},
      {110, {11, 58, 3}},
      {357, {119, 152, 0}},
      {476, {170, 195, 3}},
      {679, {242, 250, 92}},
      {1023, {254, 255, 253}}}},
    // navy, blue, cyan, white
    {7,
     {{0, {0, 6, 26}},
      {148, {0, 26, 101}},
      {265, {0, 60, 148}},
      {362, {0, 109, 182}},
      {536, {3, 194, 231}},
      {717, {93, 250, 255}},
      {1023, {245, 255, 255}}}},
    // black, blue, green, yellow, white, with a narrow notch in red
    {20, {{0, {0, 0, 4}},         {176, {0, 3, 145}},     {240, {0, 34, 192}},
          {319, {0, 84, 237}},    {371, {0, 125, 255}},   {393, {8, 142, 245}},
          {447, {46, 169, 207}},  {551, {127, 207, 126}}, {552, {119, 207, 126}},
          {553, {95, 207, 125}},  {554, {70, 208, 124}},  {555, {46, 208, 124}},
          {556, {38, 208, 123}},  {557, {64, 209, 122}},  {558, {90, 209, 121}},
          {559, {116, 210, 120}}, {560, {134, 210, 119}}, {654, {206, 237, 47}},
          {715, {254, 255, 1}},   {1023, {255, 255, 249}}}},
    // navy, slate, olive, yellow, then red at the top
    {12,
     {{0, {0, 16, 48}},
      {153, {3, 36, 68}},
      {213, {19, 52, 80}},
      {849, {182, 212, 77}},
      {973, {243, 244, 48}},
      {1017, {254, 255, 48}},
      {1018, {254, 227, 43}},
      {1019, {254, 162, 31}},
      {1020, {255, 98, 18}},
      {1021, {255, 33, 6}},
      {1022, {255, 0, 0}},
      {1023, {255, 0, 0}}}},
};

constexpr ChannelPoint bends[] = {
    {1, 0, 487, 217}, {1, 0, 859, 205}, {1, 2, 859, 27}, {2, 2, 190, 0},
    {4, 2, 369, 255}, {4, 2, 712, 1},   {5, 2, 198, 80}, {5, 2, 830, 80},
};

// Rounds num / den (den > 0) to the nearest integer, halves up.
constexpr int roundDiv(long num, long den)
{
    const long twice = 2 * num + den;
    const long d = 2 * den;
    return int(twice >= 0 ? twice / d : -((-twice + d - 1) / d));
}

// Ramps linearly through the key points and the bends, then keeps every entry within three
// steps of the straight line between its two key points.
constexpr std::array<quint8, palettes * paletteBytes> buildTable()
{
    std::array<quint8, palettes * paletteBytes> table{};
    for (int p = 0; p < palettes; ++p) {
        const PaletteKeys &pk = keys[p];
        for (int c = 0; c < 3; ++c) {
            int anchorEntry[maxKeys + 8] = {};
            int anchorValue[maxKeys + 8] = {};
            int anchors = 0;
            for (int k = 0; k < pk.count; ++k) {
                anchorEntry[anchors] = pk.keys[k].entry;
                anchorValue[anchors] = pk.keys[k].rgb[c];
                ++anchors;
            }
            for (const ChannelPoint &b : bends) {
                if (b.palette != p || b.channel != c)
                    continue;
                int at = anchors;
                while (at > 0 && anchorEntry[at - 1] > b.entry) {
                    anchorEntry[at] = anchorEntry[at - 1];
                    anchorValue[at] = anchorValue[at - 1];
                    --at;
                }
                anchorEntry[at] = b.entry;
                anchorValue[at] = b.value;
                ++anchors;
            }
            int seg = 0;
            int key = 0;
            for (int i = 0; i < entries; ++i) {
                while (seg + 2 < anchors && anchorEntry[seg + 1] <= i)
                    ++seg;
                while (key + 2 < pk.count && pk.keys[key + 1].entry <= i)
                    ++key;
                const long e0 = anchorEntry[seg], e1 = anchorEntry[seg + 1];
                const long v0 = anchorValue[seg], v1 = anchorValue[seg + 1];
                int v = roundDiv(v0 * (e1 - e0) + (v1 - v0) * (i - e0), e1 - e0);

                const long k0 = pk.keys[key].entry, k1 = pk.keys[key + 1].entry;
                const long w0 = pk.keys[key].rgb[c], w1 = pk.keys[key + 1].rgb[c];
                // The straight line is num / den; the band is [num/den - 3, num/den + 3].
                const long num = w0 * (k1 - k0) + (w1 - w0) * (i - k0);
                const long den = k1 - k0;
                while (long(v - 3) * den > num)
                    --v;
                while (long(v + 3) * den < num)
                    ++v;
                table[std::size_t(p * paletteBytes + 3 * i + c)] = quint8(v);
            }
        }
    }
    return table;
}

constexpr std::array<quint8, palettes *paletteBytes> paletteTable = buildTable();

} // namespace

ColorTable &ColorTable::instance()
{
    // A function-local static is initialised exactly once, even under concurrent first use.
    static ColorTable table;
    return table;
}

ColorTable::ColorTable()
{
    init();
}

void ColorTable::init()
{
    for (int k = 0; k < palettes; ++k) {
        QList<QRgb> &list = m_palettes[k];
        list.resize(entries);
        const quint8 *bytes = paletteTable.data() + k * paletteBytes;
        for (int i = 0; i < entries; ++i)
            list[i] = qRgb(bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
    }
}

const QList<QRgb> &ColorTable::select(int index) const
{
    return m_palettes[paletteIndex(index)];
}

QList<QRgb> ColorTable::palette(int index) const
{
    return select(index);
}

QRgb ColorTable::color(int index, quint16 value) const
{
    // Callers clamp to 0..1023; a larger value is held at the top entry rather than read
    // past the list.
    const QList<QRgb> &list = select(index);
    return list.at(value < entries ? value : entries - 1);
}
