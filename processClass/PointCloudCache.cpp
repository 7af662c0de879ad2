#include "processClass/PointCloudCache.h"

#include <QDebug>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

PointCloudCache &PointCloudCache::instance()
{
    static PointCloudCache cache;
    return cache;
}

PointCloudCache::PointCloudCache() : m_points(capacity)
{
    std::lock_guard<std::mutex> lock(m_frameMutex);
    m_cloudParamA = 0.5f;
    m_cloudParamB = 0.5f;
    m_cloudMaxRange = 20.0f;
}

void PointCloudCache::appendPoints(const float *in, quint32 count)
{
    if (!in || count == 0)
        return;
    std::unique_lock<std::shared_timed_mutex> lock(m_pointLock);
    // Of a batch longer than the ring only the last capacity points survive; copying the
    // rest would only overwrite itself.
    quint64 skip = 0;
    if (count > capacity) {
        skip = count - capacity;
        m_writeCursor = static_cast<quint32>((m_writeCursor + skip) % capacity);
    }
    const float *src = in + 4 * skip;
    quint32 left = static_cast<quint32>(count - skip);
    while (left > 0) {
        const quint32 chunk = std::min(left, capacity - m_writeCursor);
        std::memcpy(static_cast<void *>(m_points.data() + m_writeCursor), src,
                    chunk * sizeof(CloudPoint));
        src += 4 * chunk;
        left -= chunk;
        m_writeCursor = (m_writeCursor + chunk) % capacity;
    }
    m_pointCount = static_cast<qint32>(std::min<quint64>(quint64(m_pointCount) + count, capacity));
}

void PointCloudCache::clear()
{
    std::unique_lock<std::shared_timed_mutex> lock(m_pointLock);
    m_pointCount = 0;
    m_writeCursor = 0;
    qDebug() << "清空点云缓存";
}

void PointCloudCache::readPoints(quint32 *count, float *out)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(10);
    std::shared_lock<std::shared_timed_mutex> lock(m_pointLock, deadline);
    if (!lock.owns_lock())
        return;
    const quint32 n = static_cast<quint32>(std::min<qint32>(m_pointCount, qint32(capacity)));
    if (count)
        *count = n;
    if (n >= 1 && out)
        std::memcpy(out, m_points.data(), n * sizeof(CloudPoint));
}

void PointCloudCache::copyFrames(std::deque<ImageFrame> *out)
{
    std::lock_guard<std::mutex> lock(m_frameMutex);
    if (out && out != &m_frames)
        *out = m_frames;
}

void PointCloudCache::setFrames(std::deque<ImageFrame> in)
{
    std::lock_guard<std::mutex> lock(m_frameMutex);
    m_frames = std::move(in);
}

float PointCloudCache::cloudParamA()
{
    std::lock_guard<std::mutex> lock(m_frameMutex);
    return m_cloudParamA;
}

float PointCloudCache::cloudParamB()
{
    std::lock_guard<std::mutex> lock(m_frameMutex);
    return m_cloudParamB;
}

float PointCloudCache::cloudMaxRange()
{
    std::lock_guard<std::mutex> lock(m_frameMutex);
    return m_cloudMaxRange;
}
