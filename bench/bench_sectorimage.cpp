// One live batch of 20 frames turned into a published picture: accumulation, gamma, palette and
// pixmap. The fast path (Processing::drawImage) against the literal per-pixel reference, same
// frames, same run, and a check that both pictures are the same.
#include "app/InformationCenter.h"
#include "processClass/Processing.h"
#include "support/ReferenceSectorImage.h"
#include "support/SectorFrames.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>
#include <random>
#include <vector>

namespace {

std::vector<SectorFrame> makeBatch(int first, std::mt19937 &rng)
{
    std::uniform_int_distribution<int> sample(0, 65535);
    std::vector<SectorFrame> batch;
    for (int k = 0; k < 20; ++k) {
        SectorFrame f(float((first + k) * 0.9 - 180), 0.9f, 4000, 2, 40, 0.01f);
        f.m_head.gamma = 1.4f;
        for (auto &s : f.m_samples)
            s = quint16(sample(rng));
        batch.push_back(std::move(f));
    }
    return batch;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    qRegisterMetaType<packageInfo>("packageInfo");
    PacketRing *ring = nullptr;
    InformationCenter *center = new InformationCenter;
    Processing processing(&ring, &center);
    QPixmap published;
    QObject::connect(&processing, &Processing::sigUpdatePixmap,
                     [&](QPixmap pixmap, bool) { published = pixmap; });

    std::mt19937 rng(5);
    std::vector<quint16> refAcc(640000, 0);
    const int batches = 16;
    double fastMs = 0;
    double refMs = 0;
    bool identical = true;
    QElapsedTimer timer;
    for (int b = 0; b < batches; ++b) {
        const std::vector<SectorFrame> frames = makeBatch(b * 20, rng);
        const SectorBatch batch(frames);
        const packageInfo *const *heads = batch.m_heads.data();
        const uchar *const *data = batch.m_data.data();
        const quint32 *bytes = batch.m_bytes.data();
        timer.start();
        processing.drawImage(heads, data, bytes, 20);
        fastMs += timer.nsecsElapsed() / 1e6;

        timer.start();
        reference::generateImage(heads, data, bytes, 20, refAcc.data());
        const QImage image = reference::colour(refAcc.data(), 1.4f, center->scale(),
                                               center->offest(), center->switchColor());
        const QPixmap pixmap = QPixmap::fromImage(image);
        refMs += timer.nsecsElapsed() / 1e6;
        identical = identical && pixmap.toImage() == published.toImage();
    }
    const double fast = fastMs / batches;
    const double ref = refMs / batches;
    std::printf("sector image, batch of 20 frames of 4000 bins, gamma 1.4, palette, pixmap\n");
    std::printf("  fast (Processing::drawImage): %8.3f ms per batch (%d batches)\n", fast, batches);
    std::printf("  reference (every pixel, pow): %8.3f ms per batch (%d batches)\n", ref, batches);
    std::printf("  speed-up: %.1fx   pictures identical: %s\n", ref / fast,
                identical ? "yes" : "NO");
    const bool ok = identical && ref / fast >= 8.0 && fast < 6.0;
    std::printf("  target (>= 8x faster, < 6 ms): %s\n", ok ? "met" : "NOT MET");
    delete center;
    return ok ? 0 : 1;
}
