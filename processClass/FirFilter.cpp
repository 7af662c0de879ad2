#include "FirFilter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace {

// FFTW's planner keeps global state: every plan in the process is made and destroyed under
// this lock.
std::mutex &plannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

double besselI0(double x)
{
    double sum = 0;
    for (int k = 0; k <= 20; ++k) {
        const double term = std::pow(x / 2, k) / std::tgamma(k + 1.0);
        sum += term * term;
    }
    return sum;
}

std::vector<double> makeWindow(const std::string &window, int order)
{
    const int count = order + 1;
    const double m = order;
    std::vector<double> w(std::size_t(count), 0.0);
    if (window == "hamming") {
        for (int n = 0; n < count; ++n)
            w[n] = 0.54 - 0.46 * std::cos(2 * M_PI * n / m);
    } else if (window == "hanning") {
        for (int n = 0; n < count; ++n)
            w[n] = 0.5 * (1 - std::cos(2 * M_PI * n / m));
    } else if (window == "blackman") {
        for (int n = 0; n < count; ++n)
            w[n] = 0.42 - 0.5 * std::cos(2 * M_PI * n / m) + 0.08 * std::cos(4 * M_PI * n / m);
    } else if (window == "rectwin") {
        std::fill(w.begin(), w.end(), 1.0);
    } else if (window == "kaiser") {
        const double beta = 0.5;
        const double norm = besselI0(beta);
        for (int n = 0; n < count; ++n) {
            const double r = 2.0 * n / m - 1;
            w[n] = besselI0(beta * std::sqrt(std::max(0.0, 1 - r * r))) / norm;
        }
    } else {
        throw std::invalid_argument("Unknown window type: " + window);
    }
    return w;
}

} // namespace

std::vector<double> FirFilter::scaledCutoffs(const std::vector<double> &cutoffs)
{
    std::vector<double> scaled;
    scaled.reserve(cutoffs.size());
    for (double f : cutoffs) {
        // Written so that a NaN fails too.
        if (!(f >= 0 && f <= 1))
            throw std::invalid_argument("Frequency must be in range [0, 1]");
        scaled.push_back(f * M_PI);
    }
    return scaled;
}

namespace {

enum class Kind { LowPass, HighPass, BandPass, BandStop };

Kind kindOf(int type)
{
    switch (type) {
    case 1:
        return Kind::HighPass;
    case 2:
        return Kind::BandPass;
    case 3:
        return Kind::BandStop;
    default:
        return Kind::LowPass;
    }
}

// The ideal (unwindowed) impulse response m samples from its centre; w1 and w2 are the
// cut-offs in radians per sample.
double idealTap(Kind kind, double w1, double w2, int m)
{
    switch (kind) {
    case Kind::LowPass:
        return m == 0 ? w1 / M_PI : std::sin(m * w1) / (m * M_PI);
    case Kind::HighPass:
        return m == 0 ? 1 - w1 / M_PI : (std::sin(m * M_PI) - std::sin(m * w1)) / (m * M_PI);
    case Kind::BandPass:
        return m == 0 ? (w2 - w1) / M_PI : (std::sin(m * w2) - std::sin(m * w1)) / (m * M_PI);
    case Kind::BandStop:
        return m == 0 ? 1 - (w2 - w1) / M_PI
                      : (std::sin(m * M_PI) - std::sin(m * w2) + std::sin(m * w1)) / (m * M_PI);
    }
    return 0;
}

// Where the taps get unit gain: a frequency inside the pass band. Zero for low-pass and
// band-stop (the plain sum), the Nyquist frequency for high-pass, the band's centre for
// band-pass. Dividing high-pass or band-pass taps by their plain sum, which is close to zero,
// would blow them up. A band-stop from zero has its only pass band at the top: it is measured
// there.
double unitGainFrequency(Kind kind, double w1, double w2)
{
    if (kind == Kind::HighPass || (kind == Kind::BandStop && w1 == 0))
        return M_PI;
    if (kind == Kind::BandPass)
        return 0.5 * (w1 + w2);
    return 0;
}

// Scales the taps to unit gain at the frequency. The phase is taken about the taps' own
// centre, order / 2 rounded down: about the half-sample centre of an odd order every high-pass
// would measure zero gain at the Nyquist frequency.
void normalise(std::vector<double> &h, double frequency)
{
    const int order = int(h.size()) - 1;
    double gain = 0;
    double magnitude = 0;
    for (int n = 0; n <= order; ++n) {
        const double c = frequency == 0 ? 1.0 : std::cos(frequency * (n - order / 2));
        gain += h[n] * c;
        magnitude += std::abs(h[n]);
    }
    if (!(std::abs(gain) > 1e-12 * magnitude))
        throw std::invalid_argument("Filter taps sum to zero: the cut-offs leave no pass band");
    for (double &tap : h)
        tap /= gain;
}

} // namespace

std::vector<double> FirFilter::designTaps(int order, const std::vector<double> &cutoffs, int type,
                                          const std::string &window)
{
    if (order < 1)
        throw std::invalid_argument("Filter order must be positive");
    if (cutoffs.empty())
        throw std::invalid_argument("Cutoff frequencies cannot be empty");
    const std::vector<double> w = scaledCutoffs(cutoffs);
    const std::vector<double> win = makeWindow(window, order);
    const Kind kind = kindOf(type);
    if (kind == Kind::BandPass && w.size() < 2)
        throw std::invalid_argument("Bandpass filter requires two cutoff frequencies");
    if (kind == Kind::BandStop && w.size() < 2)
        throw std::invalid_argument("Bandstop filter requires two cutoff frequencies");

    const double w1 = w[0];
    const double w2 = w.size() > 1 ? w[1] : 0.0;
    std::vector<double> h(std::size_t(order) + 1);
    for (int n = 0; n <= order; ++n)
        h[n] = idealTap(kind, w1, w2, n - order / 2) * win[n];
    normalise(h, unitGainFrequency(kind, w1, w2));
    return h;
}

FirFilter::FirFilter(int fftSize, int order, const std::vector<double> &cutoffs, int type,
                     const std::string &window)
    : m_taps(designTaps(order, cutoffs, type, window)), m_order(order), m_fftSize(fftSize)
{
    if (fftSize < order + 1)
        throw std::invalid_argument("FFT size must be at least the filter order + 1");
    plan();
}

void FirFilter::plan()
{
    const int fftSize = m_fftSize;
    const int bins = fftSize / 2 + 1;
    auto allocReal = [](int n) {
        RealBuffer b(static_cast<double *>(fftw_malloc(sizeof(double) * std::size_t(n))));
        if (!b)
            throw std::bad_alloc();
        std::fill(b.get(), b.get() + n, 0.0);
        return b;
    };
    auto allocComplex = [](int n) {
        ComplexBuffer b(
            static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * std::size_t(n))));
        if (!b)
            throw std::bad_alloc();
        std::memset(static_cast<void *>(b.get()), 0, sizeof(fftw_complex) * std::size_t(n));
        return b;
    };

    m_tapSpectrum = allocComplex(bins);
    {
        RealBuffer scratch = allocReal(fftSize);
        std::copy(m_taps.begin(), m_taps.end(), scratch.get());
        std::lock_guard<std::mutex> lock(plannerMutex());
        fftw_plan once =
            fftw_plan_dft_r2c_1d(fftSize, scratch.get(), m_tapSpectrum.get(), FFTW_ESTIMATE);
        fftw_execute(once);
        fftw_destroy_plan(once);
    }

    m_timeIn = allocReal(fftSize);
    m_freqOut = allocComplex(bins);
    m_freqIn = allocComplex(bins);
    m_timeOut = allocReal(fftSize);
    m_overlap.assign(std::size_t(m_order), 0.0);
    {
        std::lock_guard<std::mutex> lock(plannerMutex());
        m_forwardPlan =
            fftw_plan_dft_r2c_1d(fftSize, m_timeIn.get(), m_freqOut.get(), FFTW_ESTIMATE);
        m_inversePlan =
            fftw_plan_dft_c2r_1d(fftSize, m_freqIn.get(), m_timeOut.get(), FFTW_ESTIMATE);
    }
}

FirFilter::~FirFilter()
{
    std::lock_guard<std::mutex> lock(plannerMutex());
    if (m_forwardPlan)
        fftw_destroy_plan(m_forwardPlan);
    if (m_inversePlan)
        fftw_destroy_plan(m_inversePlan);
}

void FirFilter::apply(const double *in, int n, double *out)
{
    std::fill(m_overlap.begin(), m_overlap.end(), 0.0);
    if (n < 1)
        return;

    const int size = m_fftSize;
    const int tail = m_order;
    const int block = size - tail;
    const int bins = size / 2 + 1;
    const double scale = 1.0 / size;
    const std::int64_t end = std::int64_t(n) + tail;
    double *time = m_timeIn.get();
    const double *result = m_timeOut.get();
    const fftw_complex *taps = m_tapSpectrum.get();
    const fftw_complex *spectrum = m_freqOut.get();
    fftw_complex *product = m_freqIn.get();

    for (std::int64_t p = 0; p < n; p += block) {
        const int c = int(std::min<std::int64_t>(block, n - p));
        std::copy(in + p, in + p + c, time);
        std::fill(time + c, time + size, 0.0);
        fftw_execute(m_forwardPlan);
        for (int k = 0; k < bins; ++k) {
            const double a = taps[k][0], b = taps[k][1];
            const double re = spectrum[k][0], im = spectrum[k][1];
            product[k][0] = a * re - b * im;
            product[k][1] = a * im + b * re;
        }
        fftw_execute(m_inversePlan);

        // The previous blocks' tail is added in before this block's own tail is kept, so a
        // tail longer than a block (fftSize just above order + 1) still accumulates exactly.
        const int written = int(std::min<std::int64_t>(size, end - p));
        for (int j = 0; j < written; ++j) {
            double y = result[j] * scale;
            if (j < tail)
                y += m_overlap[std::size_t(j)];
            out[p + j] = y;
        }
        // c + j < size always; overlap[c + j] is read before step c + j overwrites it.
        for (int j = 0; j < tail; ++j) {
            const int from = c + j;
            double y = result[from] * scale;
            if (from < tail)
                y += m_overlap[std::size_t(from)];
            m_overlap[std::size_t(j)] = y;
        }
    }
}
