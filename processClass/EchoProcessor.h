#pragma once

#include "FirFilter.h"
#include "FrameBuffer.h"
#include "FrameResult.h"
#include "PackageInfo.h"
#include "PeakFinder.h"

#include <QtGlobal>

#include <vector>

// Echo processing of one assembled frame: squares the samples, blanks the near range,
// smooths each beam with the low-pass filter, takes the strongest peak above half the beam's
// maximum as its echo and turns it into a bearing, a range and a point.
//
// Owns the data path's filter: fftSize 256, order 64, cut-off 0.05 (of Nyquist), low-pass,
// "hamming". Keeps its work arrays between frames, so a frame allocates nothing once the
// arrays have grown to the largest frame seen. One thread at a time per object.
//
// The work is bounded by the spans of the frame that hold data, not by its size: the parts
// of a frame that no packet delivered are zeros, which filter to zeros and hold no peak, so
// only the filter blocks that hold data (and the filter's tail after them) are computed, in
// the same blocks as over the whole frame, and the peak search sees each run of zeros as its
// two ends. The results are those of processing the whole frame.
class EchoProcessor
{
public:
    static constexpr int nearBlankBins = 60;

    EchoProcessor();

    EchoProcessor(const EchoProcessor &) = delete;
    EchoProcessor &operator=(const EchoProcessor &) = delete;

    // header: the frame's header; reads dataHeight, direction and distReso only.
    // data: the frame's samples, dataBytes bytes of them (the count FrameAssembler::takeFrame
    // returned). Read as little-endian unsigned 16-bit pairs, beam A then beam B per range
    // bin, whatever dataWidth and numPerRow say; no alignment needed.
    // Processes usableBins(header, dataBytes) bins: at most dataHeight and never past
    // dataBytes, so an absurd dataHeight neither allocates nor reads beyond the data.
    // result: all six fields set; a beam without an echo has bearing, range and strength 0.
    // Bearings: beam A at direction + 180, beam B opposite, both in [0, 360).
    // points: eight doubles, beam A then beam B, each (along-track, x, y, strength) with
    // along-track left 0 for the caller; x = sin(bearing) * range, y = cos(bearing) * range.
    // A frame whose direction or distReso is not a finite number yields no echo.
    void processFrame(const packageInfo &header, const void *data, qint64 dataBytes,
                      FrameResult &result, double points[8]);
    // The same for a frame whose data are zero outside spans (byte ranges, ascending and
    // disjoint, as FrameBuffer::spans gives them); data still holds dataBytes bytes.
    void processFrame(const packageInfo &header, const void *data, qint64 dataBytes,
                      const std::vector<FrameBuffer::Span> &spans, FrameResult &result,
                      double points[8]);

    // Range bins that processFrame uses: min(dataHeight, dataBytes / 4), 0 for dataBytes < 0
    // (and below 2^30, far above any frame buffer).
    static qint64 usableBins(const packageInfo &header, qint64 dataBytes);

private:
    struct Echo
    {
        bool found = false;
        quint64 index = 0;
        double value = 0;
    };
    // The filter runs (in bins, block-aligned) that cover the spans' bins.
    void planRuns(const std::vector<FrameBuffer::Span> &spans, qint64 bins);
    // One beam's echo: its filtered beam over the runs, searched up to length.
    Echo beamEcho(const quint8 *data, int beam, int length);

    FirFilter m_filter;
    std::vector<FrameBuffer::Span> m_whole;
    std::vector<FrameBuffer::Span> m_runs;
    std::vector<double> m_input;
    // The filtered beam as the peak search takes it: runs of zeros shortened to their ends,
    // with the position of every sample.
    std::vector<double> m_filtered;
    std::vector<quint64> m_positions;
    std::vector<PeakRecord> m_peaks;
};
