#pragma once

#include "processClass/FrameBuffer.h"
#include "processClass/PackageInfo.h"

#include <QtGlobal>

#include <vector>

// The 800 by 800 polar sector image: its fixed geometry (bearing and distance of every cell)
// and the persistent 16-bit accumulation image that each batch of frames paints into.
// Bearings are clockwise from straight up; table row r is image row imageRows - 1 - r.
class PolarImage
{
public:
    static constexpr int imageRows = 800;
    static constexpr int imageCols = 800;
    static constexpr int imageRadius = 400;
    static constexpr double centerRow = 399.5;
    static constexpr double centerCol = 399.5;
    static constexpr int maxFrames = 20000;

    // What a call of generateImagefor10 leaves for the beam lines of the main window: the
    // wrapped centres of the last frame, when there was one with a header.
    struct Centres
    {
        bool valid = false;
        double centreA = 0;
        double centreB = 0;
    };

    PolarImage();

    // Paints num frames (oldest first) into out. heads[k] and data[k] describe frame k;
    // bytes[k] is how many bytes of data[k] the frame really holds: no sample beyond them
    // is read, whatever the header claims.
    //
    // Whatever the headers say, one call writes every pixel at most once and costs at most
    // about one pass over the image, plus a few thousand steps per frame and beam: a sector
    // wider than the full circle is the full circle, and a pixel already painted in this call
    // is not visited again.
    Centres generateImagefor10(const packageInfo *const *heads, const uchar *const *data,
                               const quint32 *bytes, int num, quint16 *out);
    // The same for frames whose bytes lie in pieces (FrameBuffer::pieces): pieces[k] lists
    // where frame k's bytes are, each piece starting on a chunk border; its other bytes up to
    // bytes[k] are zeros, painted without being read, so what a frame costs follows its pieces
    // and the image, not the size it claims.
    Centres generateImagefor10(const packageInfo *const *heads,
                               const std::vector<FrameBuffer::Piece> *pieces, const quint32 *bytes,
                               int num, quint16 *out);

    quint16 *accImage() { return m_accImage.data(); }
    const quint16 *accImage() const { return m_accImage.data(); }
    void clear();

    const std::vector<double> &angleTable() const;
    const std::vector<double> &distTable() const;

    // Centre of a sector: the bearing wrapped once into [-180, 180].
    static double wrapCentre(double bearing);

private:
    struct Frame;
    // Where one chunk of a frame kept in pieces lies, and how many of its bytes are there.
    struct Chunk
    {
        const uchar *data;
        quint32 bytes;
    };
    Centres generate(const packageInfo *const *heads, const uchar *const *data,
                     const std::vector<FrameBuffer::Piece> *pieces, const quint32 *bytes, int num,
                     quint16 *out);
    // The chunk table of one frame of bytes bytes kept in pieces, into m_chunks.
    void tableChunks(const std::vector<FrameBuffer::Piece> &pieces, quint32 bytes);
    void paintBeam(const Frame &frame, int beam, quint16 numPerRow, double lastReso, quint16 *out);
    void beginCall();

    std::vector<quint16> m_accImage;
    // Per call: how many cells at the start of each bucket are painted, and the cells painted
    // further on in it (stamp equal to m_pass).
    std::vector<quint32> m_progress;
    std::vector<quint32> m_stamp;
    quint32 m_pass = 0;
    std::vector<Chunk> m_chunks;
};
