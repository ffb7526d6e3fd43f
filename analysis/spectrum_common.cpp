#include "analysis/spectrum_common.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

namespace kx::spectrum::common {

namespace {

constexpr double HannTerms[] = {0.5, 0.5};
constexpr double Bh4Terms[] = {0.35875, 0.48829, 0.14128, 0.01168};
constexpr double Bh7Terms[] = {0.27105140069342, 0.43329793923448, 0.21812299954311,
                               0.06592544638803, 0.01081174209837, 0.00077658482522,
                               0.00001388721735};

// FFTW's planner is not reentrant.
std::mutex& PlannerMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

const CosineWindow& Hann() {
    static const CosineWindow w{HannTerms, 3, std::pow(10.0, -31.5 / 10)};
    return w;
}

const CosineWindow& BlackmanHarris4() {
    static const CosineWindow w{Bh4Terms, 5, std::pow(10.0, -92.0 / 10)};
    return w;
}

const CosineWindow& BlackmanHarris7() {
    // -180 dB on long runs; a few dB higher on the shortest.
    static const CosineWindow w{Bh7Terms, 8, std::pow(10.0, -177.0 / 10)};
    return w;
}

const CosineWindow& WindowOf(Window window) {
    return window == Window::Hann ? Hann() : BlackmanHarris4();
}

std::vector<double> MakeWindow(const CosineWindow& window, size_t n) {
    std::vector<double> w(n);
    const double step = 2.0 * std::numbers::pi / static_cast<double>(n);
    for (size_t i = 0; i < n; ++i) {
        // One cosine per point; cos(m x) by the recurrence from cos x.
        const double c = std::cos(step * static_cast<double>(i));
        double before = 1, now = c, sum = window.a[0];
        for (size_t m = 1; m < window.a.size(); ++m) {
            sum += (m % 2 ? -1.0 : 1.0) * window.a[m] * now;
            const double next = 2 * c * now - before;
            before = now;
            now = next;
        }
        w[i] = sum;
    }
    return w;
}

double NoiseBandwidth(const CosineWindow& window) {
    double square = window.a[0] * window.a[0];
    for (size_t m = 1; m < window.a.size(); ++m)
        square += window.a[m] * window.a[m] / 2;
    return square / (window.a[0] * window.a[0]);
}

double Leakage(const CosineWindow& window, double distance) {
    const double d = std::fabs(distance);
    if (d <= static_cast<double>(window.a.size())) return 1.0;
    // The window's transform at d bins from the peak is sin(pi d) / pi times this sum, over a0.
    double sum = 0;
    for (size_t m = 0; m < window.a.size(); ++m) {
        const double mm = static_cast<double>(m);
        sum += (m % 2 ? -1.0 : 1.0) * window.a[m] * d / (d * d - mm * mm);
    }
    const double envelope = sum / (std::numbers::pi * window.a[0]);
    return std::min(1.0, envelope * envelope);
}

size_t SkirtBins(const CosineWindow& window, double peakOverNoise, size_t most) {
    // A bin j whole bins from the peak bin is at least j - 1/2 bins from the sine.
    const auto holds = [&](size_t j) {
        return peakOverNoise * Leakage(window, static_cast<double>(j) - 0.5) >= SkirtShare;
    };
    size_t half = std::min(window.lobeBins, most);
    // Close in, the envelope may dip and rise again; further out it only falls.
    const size_t near = std::min(most, 8 * window.a.size() + 8);
    for (size_t j = half + 1; j <= near; ++j)
        if (holds(j)) half = j;
    if (half < near || !holds(near)) return half;
    size_t low = near, high = most + 1;  // holds(low), not holds(high)
    while (high - low > 1) {
        const size_t mid = low + (high - low) / 2;
        (holds(mid) ? low : high) = mid;
    }
    return low;
}

RealTransform::RealTransform(size_t n)
    : n_(n), in_(fftw_alloc_real(n)), out_(fftw_alloc_complex(n / 2 + 1)) {
    std::lock_guard lock(PlannerMutex());
    plan_ = fftw_plan_dft_r2c_1d(static_cast<int>(n), in_, out_, FFTW_ESTIMATE);
}

RealTransform::~RealTransform() {
    std::lock_guard lock(PlannerMutex());
    fftw_destroy_plan(static_cast<fftw_plan>(plan_));
    fftw_free(in_);
    fftw_free(out_);
}

void RealTransform::run() {
    fftw_execute(static_cast<fftw_plan>(plan_));
}

double OneSided(size_t k, size_t n) {
    return (k == 0 || (n % 2 == 0 && k == n / 2)) ? 1.0 : 2.0;
}

bool CheckRun(std::span<const double> codes, double lsbVolts, double rateHz, std::string& error) {
    if (codes.size() < MinCodes) {
        error = "the run holds " + std::to_string(codes.size()) +
                " codes; a spectrum needs at least " + std::to_string(MinCodes);
        return false;
    }
    if (!(rateHz > 0) || !std::isfinite(rateHz)) {
        error = "the update rate must be a positive number of hertz";
        return false;
    }
    if (!(lsbVolts > 0) || !std::isfinite(lsbVolts)) {
        error = "the size of a code step must be a positive number of volts";
        return false;
    }
    if (std::find(codes.begin(), codes.end(), TimeoutCode) != codes.end()) {
        error = "the run holds a failed read (-2147483648)";
        return false;
    }
    return true;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

double NormalDeviate(double p) {
    // Bisection of the tail.
    double low = 0, high = 40;
    for (int i = 0; i < 100; ++i) {
        const double mid = (low + high) / 2;
        (0.5 * std::erfc(mid / std::numbers::sqrt2) > p ? low : high) = mid;
    }
    return (low + high) / 2;
}

double ChiSquareQuantile(double nu, double z) {
    // Wilson and Hilferty's cube-root approximation.
    const double c = 2.0 / (9.0 * nu);
    return std::pow(std::max(1.0 - c + z * std::sqrt(c), 0.0), 3.0);
}

}  // namespace kx::spectrum::common
