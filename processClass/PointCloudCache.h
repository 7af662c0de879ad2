#pragma once

#include "processClass/CloudPoint.h"
#include "processClass/ImageFrame.h"

#include <QtGlobal>

#include <deque>
#include <mutex>
#include <shared_mutex>
#include <vector>

// The process-wide store between the data path and the 3D view: a ring of the last
// 100000 echo points and the sweep images of the last replay.
class PointCloudCache
{
public:
    static constexpr quint32 capacity = 100000;

    static PointCloudCache &instance();

    PointCloudCache();
    PointCloudCache(const PointCloudCache &) = delete;
    PointCloudCache &operator=(const PointCloudCache &) = delete;

    // count points (4 * count floats); the newest overwrite the oldest once the ring is full.
    void appendPoints(const float *points, quint32 count);
    void clear();
    // Waits at most 10 ms for the lock; on time-out neither count nor out is written.
    // out must have room for capacity points; a null out only reports the count.
    void readPoints(quint32 *count, float *out);

    void copyFrames(std::deque<ImageFrame> *out);
    void setFrames(std::deque<ImageFrame> frames);

    float cloudParamA();
    float cloudParamB();
    float cloudMaxRange();

protected:
    std::shared_timed_mutex m_pointLock;

private:
    std::mutex m_frameMutex;
    std::vector<CloudPoint> m_points;
    quint32 m_writeCursor = 0; // in points
    qint32 m_pointCount = 0;
    std::deque<ImageFrame> m_frames;
    float m_cloudParamA = 0;
    float m_cloudParamB = 0;
    float m_cloudMaxRange = 0;
};
