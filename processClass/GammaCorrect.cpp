#include "processClass/GammaCorrect.h"

#include "processClass/GammaTable.h"

void gammaCorrect(quint16 *samples, quint32 count, double a, double b)
{
    if (!samples || count == 0)
        return;
    const auto table = GammaTable::shared(a, b);
    if (!table)
        return;
    const quint16 *lut = table->data();
    for (quint32 i = 0; i < count; ++i)
        samples[i] = lut[samples[i]];
}
