#include "maths/spectrum_common.h"

#include "core/large_pages.h"

#include <fftw3.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <future>
#include <mutex>
#include <numbers>
#include <thread>

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
    // Periodic and even: the second half mirrors the first.
    for (size_t i = 0; i <= n / 2; ++i) {
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
        if (i > 0 && i < n - i) w[n - i] = sum;
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

RealTransform::RealTransform(size_t n, int threads, Method method)
    : n_(n),
      threads_(threads),
      method_(n % 2 == 0 ? method : Method::Real),
      data_(fftw_alloc_real(2 * (n / 2 + 1))) {
    AdviseLargePages(data_, 2 * (n / 2 + 1) * sizeof(double));
}

RealTransform::~RealTransform() {
    forgetPlan();
    fftw_free(data_);
}

void RealTransform::plan() {
    if (plan_) return;
    static std::once_flag threadsReady;
    std::lock_guard lock(PlannerMutex());
    if (threads_ > 1) {
        std::call_once(threadsReady, [] { fftw_init_threads(); });
        fftw_plan_with_nthreads(threads_);
    }
    // Each plan from scratch: what the planner remembers of an earlier plan would make the
    // figures depend on which plan was made first.
    fftw_forget_wisdom();
    auto* bins = reinterpret_cast<fftw_complex*>(data_);
    plan_ =
        method_ == Method::Real
            ? fftw_plan_dft_r2c_1d(static_cast<int>(n_), data_, bins, FFTW_ESTIMATE)
            : fftw_plan_dft_1d(static_cast<int>(n_ / 2), bins, bins, FFTW_FORWARD, FFTW_ESTIMATE);
    if (threads_ > 1) fftw_plan_with_nthreads(1);
}

void RealTransform::run() {
    plan();
    fftw_execute(static_cast<fftw_plan>(plan_));
    if (method_ == Method::HalfComplex) separate();
}

void RealTransform::runWith(const RealTransform& planned) {
    auto* bins = reinterpret_cast<fftw_complex*>(data_);
    if (planned.method_ == Method::Real) {
        fftw_execute_dft_r2c(static_cast<fftw_plan>(planned.plan_), data_, bins);
        return;
    }
    fftw_execute_dft(static_cast<fftw_plan>(planned.plan_), bins, bins);
    separate();
}

// The even and odd points were transformed together as the real and imaginary parts of n / 2
// complex points, Z. With E and O their own transforms, E[k] = (Z[k] + conj Z[m - k]) / 2,
// O[k] = (Z[k] - conj Z[m - k]) / 2i, and the real transform's bin k is E[k] + W^k O[k], bin
// m - k the conjugate of E[k] - W^k O[k], W = exp(-2 pi i / n): each pair in place.
void RealTransform::separate() {
    using Complex = std::complex<double>;
    auto* z = reinterpret_cast<Complex*>(data_);
    const size_t m = n_ / 2;
    const Complex z0 = z[0];
    z[0] = z0.real() + z0.imag();
    z[m] = z0.real() - z0.imag();
    const double step = -2.0 * std::numbers::pi / static_cast<double>(n_);
    InTwoHalves(m / 2 + 1, ParallelFrom / 2, [&](int, size_t from, size_t to) {
        from = std::max<size_t>(from, 1);
        const Complex turn = std::polar(1.0, step);
        Complex w;
        for (size_t k = from; k < to; ++k) {
            // The twiddle by its recurrence, taken afresh every 1024 bins (error below 1e-13).
            if (k == from || k % 1024 == 0) w = std::polar(1.0, step * static_cast<double>(k));
            const Complex a = z[k], b = std::conj(z[m - k]);
            const Complex even = (a + b) * 0.5;
            const Complex odd = (a - b) * Complex(0, -0.5);
            const Complex t = w * odd;
            z[k] = even + t;
            z[m - k] = std::conj(even - t);
            w *= turn;
        }
    });
}

void InTwoHalves(size_t count, size_t parallelFrom,
                 const std::function<void(int half, size_t from, size_t to)>& work) {
    const size_t middle = count / 2;
    if (count >= parallelFrom && std::thread::hardware_concurrency() > 1) {
        auto second = std::async(std::launch::async, [&] { work(1, middle, count); });
        work(0, 0, middle);
        second.get();
        return;
    }
    work(0, 0, middle);
    work(1, middle, count);
}

void RealTransform::forgetPlan() {
    if (!plan_) return;
    std::lock_guard lock(PlannerMutex());
    fftw_destroy_plan(static_cast<fftw_plan>(plan_));
    plan_ = nullptr;
}

namespace {

template <typename Code>
bool CheckCodes(std::span<const Code> codes, double lsbVolts, double rateHz, std::string& error) {
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
    if (std::find(codes.begin(), codes.end(), static_cast<Code>(TimeoutCode)) != codes.end()) {
        error = "the run holds a failed read (-2147483648)";
        return false;
    }
    return true;
}

}  // namespace

bool CheckRun(std::span<const double> codes, double lsbVolts, double rateHz, std::string& error) {
    return CheckCodes(codes, lsbVolts, rateHz, error);
}

bool CheckRun(std::span<const int32_t> codes, double lsbVolts, double rateHz, std::string& error) {
    return CheckCodes(codes, lsbVolts, rateHz, error);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

double MedianOfPositive(std::span<const double> values) {
    if (values.size() < 65536) return Median({values.begin(), values.end()});
    // A value that is not negative orders as its bit pattern does: count the values by their top
    // 16 bits (sign, exponent, four bits of mantissa), then order only those of the bucket that
    // holds the median.
    const auto top = [](double v) { return std::bit_cast<uint64_t>(v) >> 48; };
    std::vector<size_t> counts(size_t(1) << 16, 0);
    for (const double v : values)
        ++counts[top(v)];
    size_t rank = values.size() / 2, bucket = 0;
    while (rank >= counts[bucket])
        rank -= counts[bucket++];
    std::vector<double> inBucket;
    inBucket.reserve(counts[bucket]);
    for (const double v : values)
        if (top(v) == bucket) inBucket.push_back(v);
    const auto at = inBucket.begin() + static_cast<std::ptrdiff_t>(rank);
    std::nth_element(inBucket.begin(), at, inBucket.end());
    return *at;
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
