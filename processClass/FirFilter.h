#pragma once

#include <fftw3.h>

#include <memory>
#include <string>
#include <vector>

// Linear-phase FIR filter designed by the windowed-sinc method and applied by fast convolution
// (overlap-add with real FFTs of fftSize points, blocks of fftSize - order input samples).
//
// Types: 1 high-pass, 2 band-pass, 3 band-stop, anything else low-pass. Windows (exact,
// case-sensitive): "hamming", "hanning", "blackman", "rectwin", "kaiser" (beta 0.5).
// Cut-offs are fractions of the Nyquist frequency, 0 to 1; band types use the first two.
// Low-pass and band-stop taps have unit gain at zero frequency, high-pass (and a band-stop
// from 0) at the Nyquist frequency and band-pass at the centre of the pass band.
//
// The constructor throws std::invalid_argument, checked in this order: "Filter order must be
// positive", "Cutoff frequencies cannot be empty", "Frequency must be in range [0, 1]",
// "Unknown window type: <name>", "Bandpass filter requires two cutoff frequencies",
// "Bandstop filter requires two cutoff frequencies", then a design that passes nothing (taps
// summing to zero where they are normalised) and an fftSize below order + 1.
//
// apply() uses the filter's work buffers: one thread at a time per filter. Plan creation and
// destruction are serialised across the process, since FFTW's planner is not thread-safe.
class FirFilter
{
public:
    FirFilter(int fftSize, int order, const std::vector<double> &cutoffs, int type,
              const std::string &window);
    ~FirFilter();

    FirFilter(const FirFilter &) = delete;
    FirFilter &operator=(const FirFilter &) = delete;

    // Writes the full linear convolution of in[0 .. n-1] with the taps to out, which must have
    // room for n + order() doubles. Writes nothing for n < 1. Allocates nothing.
    void apply(const double *in, int n, double *out);

    // The normalised taps (order + 1 of them) the constructor gives the filter: the design
    // alone, without FFT plans. Throws as the constructor does, but for the FFT size.
    static std::vector<double> designTaps(int order, const std::vector<double> &cutoffs, int type,
                                          const std::string &window);
    // Checks every cut-off (0 to 1) and returns each multiplied by pi.
    static std::vector<double> scaledCutoffs(const std::vector<double> &cutoffs);

    const std::vector<double> &taps() const { return m_taps; }
    int order() const { return m_order; }
    int fftSize() const { return m_fftSize; }

private:
    struct FftwFree
    {
        void operator()(void *p) const { fftw_free(p); }
    };
    using RealBuffer = std::unique_ptr<double[], FftwFree>;
    using ComplexBuffer = std::unique_ptr<fftw_complex[], FftwFree>;

    // The taps' spectrum, the work buffers and the two plans of apply().
    void plan();

    std::vector<double> m_taps;
    int m_order;
    int m_fftSize;
    ComplexBuffer m_tapSpectrum;
    RealBuffer m_timeIn;
    ComplexBuffer m_freqOut;
    ComplexBuffer m_freqIn;
    RealBuffer m_timeOut;
    fftw_plan m_forwardPlan = nullptr;
    fftw_plan m_inversePlan = nullptr;
    std::vector<double> m_overlap;
};
