// SSIMULACRA2 as the JPEG XL project's ssimulacra2 program computes it: both
// pictures to linear sRGB, then at six scales (halved in linear light) to
// XYB; per scale and channel an SSIM map and two edge maps, their 1- and
// 4-norms, a weighted sum of the 108 norms and a curve onto 0..100. Every
// float operation that feeds its blur is done as it does it, rounding for
// rounding, since its scores carry that rounding (see Recursion).
#include "ssimulacra2.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image.h"

namespace {

constexpr int kScales = 6;
constexpr float kC2 = 0.0009f;

// The weights of the norms, in the order the reference tool reads them:
// channel, scale, 1-norm then 4-norm, each for SSIM, artifacts (edges the
// original lacks) and lost detail (edges the distorted lacks). With fewer
// than six scales the reference reads them on without a gap, and so do we.
constexpr double kWeights[108] = {
    0, 0.0007376606707406586, 0, 0, 0.0007793481682867309, 0,  // X 1:1
    0, 0.0004371155730107379, 0, 1.1041726426657346, 0.00066284834129271, 0.00015231632783718752,
    0, 0.0016406437456599754, 0, 1.8422455520539298, 11.441172603757666, 0,
    0.0007989109436015163, 0.000176816438078653, 0, 1.8787594979546387, 10.94906990605142, 0,
    0.0007289346991508072, 0.9677937080626833, 0, 0.00014003424285435884, 0.9981766977854967, 0.00031949755934435053,
    0.0004550992113792063, 0, 0, 0.0013648766163243398, 0, 0,  // X 1:32
    0, 0, 0, 7.466890328078848, 0, 17.445833984131262,  // Y 1:1
    0.0006235601634041466, 0, 0, 6.683678146179332, 0.00037724407979611296, 1.027889937768264,
    225.20515300849274, 0, 0, 19.213238186143016, 0.0011401524586618361, 0.001237755635509985,
    176.39317598450694, 0, 0, 24.43300999870476, 0.28520802612117757, 0.0004485436923833408,
    0, 0, 0, 34.77906344483772, 44.835625328877896, 0,
    0, 0, 0, 0, 0, 0,  // Y 1:32
    0, 0.0008680556573291698, 0, 0, 0, 0,  // B 1:1
    0, 0.0005313191874358747, 0, 0.00016533814161379112, 0, 0,
    0, 0, 0, 0.0004179171803251336, 0.0017290828234722833, 0,
    0.0020827005846636437, 0, 0, 8.826982764996862, 23.19243343998926, 0,
    95.1080498811086, 0.9863978034400682, 0.9834382792465353, 0.0012286405048278493, 171.2667255897307,
    0.9807858872435379,
    0, 0, 0, 0.0005130064588990679, 0, 0.00010854057858411537,  // B 1:32
};

// The reference blurs with Charalampidis's recursive Gaussian of sigma 1.5:
// three truncated cosines (k = 1, 3, 5), each y[n] = n2 (x[n-N-1] + x[n+N-1])
// - d1 y[n-1] - y[n-2] with zeros outside the picture, summed. In exact
// arithmetic that is a 9-tap filter, but the reference runs the recursion in
// float and its scores carry the rounding, by up to 7 points on a 2560-wide
// photograph at JPEG quality 97. So we run it with the same roundings: along
// x four outputs a step from the two before, down the picture one row a
// step, with fused multiply-adds.
constexpr int kRadius = 5;  // N for sigma 1.5

// The recursion's weights.
struct Recursion {
    float n2[3], d1[3];
    // Along x, output j of a step (0..3) from input i: in[k][j - i]; from
    // the last two outputs of the step before: last[k][j], beforeLast[k][j].
    float in[3][4], last[3][4], beforeLast[3][4];
};

// Fused multiply-adds, a b + c rounded once: the processor's own where it
// has them, else from double arithmetic, in which the product of two
// floats is exact (the sum is then rounded twice, which changes the float
// once in hundreds of millions).
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TOLVANE_FMA_TARGET __attribute__((target("avx2,fma")))
#define TOLVANE_INLINE __attribute__((always_inline)) inline
struct WithFma {
    static TOLVANE_INLINE float Fused(float a, float b, float c) { return __builtin_fmaf(a, b, c); }
};
bool HasFma() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }
#else
#define TOLVANE_INLINE inline
#endif
struct WithoutFma {
    static TOLVANE_INLINE float Fused(float a, float b, float c) { return float(double(a) * double(b) + double(c)); }
};

double Determinant(const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

Recursion MakeRecursion() {
    const double pi = 3.141592653589793238, sigma = 1.5, radius = kRadius;
    double omega[3], p[3], r[3], rho[3];
    for (int k = 0; k < 3; ++k) {
        omega[k] = (2 * k + 1) * pi / (2 * radius);
        const double sign = k == 1 ? -1 : 1;
        p[k] = sign / std::tan(omega[k] / 2);
        r[k] = sign * p[k] * p[k] / std::sin(omega[k]);
        rho[k] = std::exp(-0.5 * sigma * sigma * omega[k] * omega[k]) / radius;
    }
    // The weights beta of the three cosines: they sum to one, give the
    // Gaussian's variance and its value at the radius.
    const double d13 = p[0] * r[1] - r[0] * p[1];
    const double zeta15 = (p[1] * r[2] - r[1] * p[2]) / d13;
    const double zeta35 = (p[2] * r[0] - r[2] * p[0]) / d13;
    const double a[3][3] = {{p[0], p[1], p[2]}, {r[0], r[1], r[2]}, {zeta15, zeta35, 1}};
    const double gamma[3] = {1, radius * radius - sigma * sigma, zeta15 * rho[0] + zeta35 * rho[1] + rho[2]};
    const double whole = Determinant(a);
    Recursion g;
    for (int k = 0; k < 3; ++k) {
        double column[3][3];
        std::memcpy(column, a, sizeof column);
        for (int row = 0; row < 3; ++row) column[row][k] = gamma[row];
        const double beta = Determinant(column) / whole;  // Cramer's rule
        const double n2 = -beta * std::cos(omega[k] * (radius + 1)), d1 = -2 * std::cos(omega[k]), d2 = d1 * d1;
        g.n2[k] = float(n2);
        g.d1[k] = float(d1);
        // The recursion unrolled over four outputs, as the reference steps.
        const double in[4] = {n2, -d1 * n2, d2 * n2 - n2, -d2 * d1 * n2 + 2 * d1 * n2};
        const double last[4] = {-d1, d2 - 1, -d2 * d1 + 2 * d1, d2 * d2 - 3 * d2 + 1};
        const double beforeLast[4] = {-1, d1, -d2 + 1, d2 * d1 - 2 * d1};
        for (int j = 0; j < 4; ++j) {
            g.in[k][j] = float(in[j]);
            g.last[k][j] = float(last[j]);
            g.beforeLast[k][j] = float(beforeLast[j]);
        }
    }
    return g;
}

// Rows filtered along x at once, one per lane; in and out hold them
// interleaved, pixel x of row r at x * kLanes + r.
constexpr int kLanes = 8;

// One output of the recursion along x over kLanes rows, as the reference
// makes its first eight and its last: from the two before.
template <class F>
TOLVANE_INLINE void StepAlong(const Recursion& g, const float* __restrict in, int width, int n,
                              float (&last)[3][kLanes], float (&beforeLast)[3][kLanes], float* __restrict out) {
    const float zeros[kLanes] = {};
    const float* l = n - kRadius - 1 >= 0 ? in + size_t(n - kRadius - 1) * kLanes : zeros;
    const float* r = n + kRadius - 1 < width ? in + size_t(n + kRadius - 1) * kLanes : zeros;
    float sum[kLanes], y[3][kLanes];
    for (int lane = 0; lane < kLanes; ++lane) sum[lane] = l[lane] + r[lane];
    for (int k = 0; k < 3; ++k)
        for (int lane = 0; lane < kLanes; ++lane) {
            float v = g.in[k][0] * sum[lane];
            v = F::Fused(g.beforeLast[k][0], beforeLast[k][lane], v);
            v = F::Fused(g.last[k][0], last[k][lane], v);
            beforeLast[k][lane] = last[k][lane];
            last[k][lane] = y[k][lane] = v;
        }
    if (n >= 0)
        for (int lane = 0; lane < kLanes; ++lane)
            out[size_t(n) * kLanes + lane] = y[0][lane] + (y[1][lane] + y[2][lane]);
}

// The recursion along x over kLanes rows: single steps up to output 7 and
// at the end, four outputs a step between.
template <class F>
TOLVANE_INLINE void RecurseAlong(const Recursion& g, const float* __restrict in, float* __restrict out, int width) {
    float last[3][kLanes] = {}, beforeLast[3][kLanes] = {};
    int n = 1 - kRadius;
    for (; n < std::min(8, width); ++n) StepAlong<F>(g, in, width, n, last, beforeLast, out);
    for (; n < width - kRadius - 2; n += 4) {
        const float* l = in + size_t(n - kRadius - 1) * kLanes;
        const float* r = in + size_t(n + kRadius - 1) * kLanes;
        float sum[4][kLanes], y[3][4][kLanes];
        for (int i = 0; i < 4; ++i)
            for (int lane = 0; lane < kLanes; ++lane) sum[i][lane] = l[i * kLanes + lane] + r[i * kLanes + lane];
        for (int k = 0; k < 3; ++k) {
            for (int j = 0; j < 4; ++j)
                for (int lane = 0; lane < kLanes; ++lane) {
                    float v = g.in[k][j] * sum[0][lane];
                    for (int i = 1; i <= j; ++i) v = F::Fused(g.in[k][j - i], sum[i][lane], v);
                    v = F::Fused(g.beforeLast[k][j], beforeLast[k][lane], v);
                    y[k][j][lane] = F::Fused(g.last[k][j], last[k][lane], v);
                }
            for (int lane = 0; lane < kLanes; ++lane) {
                beforeLast[k][lane] = y[k][2][lane];
                last[k][lane] = y[k][3][lane];
            }
        }
        for (int j = 0; j < 4; ++j)
            for (int lane = 0; lane < kLanes; ++lane)
                out[size_t(n + j) * kLanes + lane] = y[0][j][lane] + (y[1][j][lane] + y[2][j][lane]);
    }
    for (; n < width; ++n) StepAlong<F>(g, in, width, n, last, beforeLast, out);
}

// One step of the recursion down the picture over a row: the new outputs
// go over before[k], which the caller then swaps with last[k].
template <class F>
TOLVANE_INLINE void RecurseDown(const Recursion& g, const float* __restrict top, const float* __restrict bottom,
                                const float* __restrict last1, float* __restrict before1,
                                const float* __restrict last3, float* __restrict before3,
                                const float* __restrict last5, float* __restrict before5, float* __restrict out,
                                int width) {
    for (int x = 0; x < width; ++x) {
        const float sum = top[x] + bottom[x];
        const float y1 = F::Fused(g.n2[0], sum, -F::Fused(g.d1[0], last1[x], before1[x]));
        const float y3 = F::Fused(g.n2[1], sum, -F::Fused(g.d1[1], last3[x], before3[x]));
        const float y5 = F::Fused(g.n2[2], sum, -F::Fused(g.d1[2], last5[x], before5[x]));
        before1[x] = y1;
        before3[x] = y3;
        before5[x] = y5;
        out[x] = y1 + (y3 + y5);
    }
}

// cbrt(v) + add as the reference computes it, since its blur carries every
// rounding: the reciprocal cube root guessed from the exponent alone, four
// Newton's steps, then r r v + add. v >= 0.
template <class F>
TOLVANE_INLINE float CubeRootAndAdd(float v, float add) {
    const float third = 1.0f / 3, fourThirds = 4.0f / 3, vThird = third * v;
    int32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    bits = bits == 0 ? 0 : 0x54800000 - (bits >> 23) * 0x002AAAAA;
    float r;
    std::memcpy(&r, &bits, sizeof r);
    for (int step = 0; step < 3; ++step) {
        const float r2 = r * r;
        r = F::Fused(-vThird, r2 * r2, fourThirds * r);
    }
    const float r2 = r * r;
    r = F::Fused(third, F::Fused(-v, r2 * r2, r), r);
    return F::Fused(r * r, v, add);
}

// Linear red, green and blue into XYB in place.
template <class F>
TOLVANE_INLINE void ToXyb(float* __restrict red, float* __restrict green, float* __restrict blue, size_t count) {
    const float m00 = 0.30f, m02 = 0.078f, m01 = 1.0f - m02 - m00;
    const float m10 = 0.23f, m12 = 0.078f, m11 = 1.0f - m12 - m10;
    const float m20 = 0.24342268924547819f, m21 = 0.20476744424496821f, m22 = 1.0f - m20 - m21;
    const float bias = 0.0037930732552754493f;
    const float minusRootOfBias = -0.155954197f;  // -cbrtf(bias)
    for (size_t i = 0; i < count; ++i) {
        const float r = red[i], g = green[i], b = blue[i];
        const float l = F::Fused(m00, r, F::Fused(m01, g, F::Fused(m02, b, bias)));
        const float m = F::Fused(m10, r, F::Fused(m11, g, F::Fused(m12, b, bias)));
        const float s = F::Fused(m20, r, F::Fused(m21, g, F::Fused(m22, b, bias)));
        const float cl = CubeRootAndAdd<F>(std::max(l, 0.0f), minusRootOfBias);
        const float cm = CubeRootAndAdd<F>(std::max(m, 0.0f), minusRootOfBias);
        red[i] = 0.5f * (cl - cm);
        green[i] = 0.5f * (cl + cm);
        blue[i] = CubeRootAndAdd<F>(std::max(s, 0.0f), minusRootOfBias);
    }
}

// XYB moved into about 0..1 as the reference does: X scaled by 14, B taken
// relative to Y. Apart from ToXyb and without fused multiply-adds, as the
// reference computes it.
void MakePositive(float* __restrict x, float* __restrict y, float* __restrict b, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        b[i] = (b[i] - y[i]) + 0.55f;
        x[i] = x[i] * 14 + 0.42f;
        y[i] += 0.01f;
    }
}

// The kernels compiled for processors with and without fused multiply-adds.
struct Kernels {
    void (*along)(const Recursion&, const float*, float*, int);
    void (*down)(const Recursion&, const float*, const float*, const float*, float*, const float*, float*,
                 const float*, float*, float*, int);
    void (*xyb)(float*, float*, float*, size_t);
};

template <class F>
void AlongWith(const Recursion& g, const float* in, float* out, int width) {
    RecurseAlong<F>(g, in, out, width);
}
template <class F>
void DownWith(const Recursion& g, const float* top, const float* bottom, const float* last1, float* before1,
              const float* last3, float* before3, const float* last5, float* before5, float* out, int width) {
    RecurseDown<F>(g, top, bottom, last1, before1, last3, before3, last5, before5, out, width);
}
template <class F>
void XybWith(float* red, float* green, float* blue, size_t count) {
    ToXyb<F>(red, green, blue, count);
}

#ifdef TOLVANE_FMA_TARGET
TOLVANE_FMA_TARGET void AlongFma(const Recursion& g, const float* in, float* out, int width) {
    RecurseAlong<WithFma>(g, in, out, width);
}
TOLVANE_FMA_TARGET void DownFma(const Recursion& g, const float* top, const float* bottom, const float* last1,
                                float* before1, const float* last3, float* before3, const float* last5,
                                float* before5, float* out, int width) {
    RecurseDown<WithFma>(g, top, bottom, last1, before1, last3, before3, last5, before5, out, width);
}
TOLVANE_FMA_TARGET void XybFma(float* red, float* green, float* blue, size_t count) {
    ToXyb<WithFma>(red, green, blue, count);
}
#endif

Kernels ChooseKernels(bool fma) {
#ifdef TOLVANE_FMA_TARGET
    if (fma && HasFma()) return {AlongFma, DownFma, XybFma};
#endif
    (void)fma;
    return {AlongWith<WithoutFma>, DownWith<WithoutFma>, XybWith<WithoutFma>};
}

// The sRGB decoding of the 256 byte values as the reference's colour
// management does it: v / 255 in float, then a rational polynomial (its
// coefficients) above the linear toe.
void MakeLinearTable(float* linear) {
    const float p[5] = {2.200248328e-04f, 1.043637593e-02f, 1.624820318e-01f, 7.961564959e-01f, 8.210152774e-01f};
    const float q[5] = {2.631846970e-01f, 1.076976492e+00f, 4.987528350e-01f, -5.512498495e-02f, 6.521209011e-03f};
    for (int v = 0; v < 256; ++v) {
        const float e = float(v) * (1.0f / 255);
        float top = p[4], bottom = q[4];
        for (int k = 3; k >= 0; --k) {
            top = WithoutFma::Fused(top, e, p[k]);
            bottom = WithoutFma::Fused(bottom, e, q[k]);
        }
        linear[v] = e > 0.04045f ? top / bottom : e * (1.0f / 12.92f);
    }
}

// The picture's pixels as linear red, green and blue planes.
void ToLinear(const Image& image, const float* linear, float* red, float* green, float* blue) {
    const size_t width = size_t(image.width);
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* row = ImageRow(image, y);
        const size_t at = size_t(y) * width;
        for (size_t x = 0; x < width; ++x) {
            const uint8_t* px = image.channels == 1 ? row + x : row + 3 * x;
            red[at + x] = linear[px[image.channels == 1 ? 0 : 2]];
            green[at + x] = linear[px[image.channels == 1 ? 0 : 1]];
            blue[at + x] = linear[px[0]];
        }
    }
}

// Halves a plane, averaging 2x2 pixels; the last row or column repeats on
// an odd side.
void Downsample(const float* in, int width, int height, float* out) {
    const int outWidth = (width + 1) / 2, outHeight = (height + 1) / 2;
    for (int oy = 0; oy < outHeight; ++oy) {
        const float* r0 = in + size_t(2 * oy) * width;
        const float* r1 = in + size_t(std::min(2 * oy + 1, height - 1)) * width;
        float* o = out + size_t(oy) * outWidth;
        const int pairs = width / 2;
        for (int ox = 0; ox < pairs; ++ox)
            o[ox] = (r0[2 * ox] + r0[2 * ox + 1] + r1[2 * ox] + r1[2 * ox + 1]) * 0.25f;
        if (width % 2) o[pairs] = (r0[width - 1] + r0[width - 1] + r1[width - 1] + r1[width - 1]) * 0.25f;
    }
}

// Sums of one channel's maps: SSIM error, artifacts, lost detail, each with
// its fourth powers.
struct MapSums {
    double ssim, ssim4, artifact, artifact4, lost, lost4;
};

// The fourth power, nothing for values too small to count: their powers
// would be subnormal floats, which processors compute slowly.
inline float Fourth(float v) {
    const float square = v > 1e-9f ? v * v : 0.0f;
    return square * square;
}

// One row of the maps; float lanes the compiler vectorises, added to the
// double sums per row.
void AddRow(const float* i1, const float* i2, const float* mu1, const float* mu2, const float* s11,
            const float* s22, const float* s12, int width, MapSums* sums) {
    float lanes[6][kLanes] = {};
    auto add = [&](int lane, int x) {
        const float m1 = mu1[x], m2 = mu2[x];
        const float numM = 1.0f - (m1 - m2) * (m1 - m2);
        const float numS = 2 * (s12[x] - m1 * m2) + kC2;
        const float denS = (s11[x] - m1 * m1) + (s22[x] - m2 * m2) + kC2;
        const float d = std::max(1.0f - numM * numS / denS, 0.0f);
        // (1 + e2) / (1 + e1) - 1, without the rounding of adding 1 in float.
        const float e1 = std::fabs(i1[x] - m1), e2 = std::fabs(i2[x] - m2);
        const float edge = (e2 - e1) / (1 + e1);
        const float artifact = std::max(edge, 0.0f), lost = std::max(-edge, 0.0f);
        lanes[0][lane] += d;
        lanes[1][lane] += Fourth(d);
        lanes[2][lane] += artifact;
        lanes[3][lane] += Fourth(artifact);
        lanes[4][lane] += lost;
        lanes[5][lane] += Fourth(lost);
    };
    int x = 0;
    for (; x + kLanes <= width; x += kLanes)
        for (int lane = 0; lane < kLanes; ++lane) add(lane, x + lane);
    for (; x < width; ++x) add(0, x);
    double row[6] = {};
    for (int j = 0; j < 6; ++j)
        for (int lane = 0; lane < kLanes; ++lane) row[j] += lanes[j][lane];
    sums->ssim += row[0];
    sums->ssim4 += row[1];
    sums->artifact += row[2];
    sums->artifact4 += row[3];
    sums->lost += row[4];
    sums->lost4 += row[5];
}

// Rows kept of each quantity filtered along x: a strip of kLanes being
// added while the steps down reach kRadius + 1 rows back.
constexpr int kRing = 3 * kLanes;

// Work space of one channel's maps, reused for every channel and scale.
struct Streams {
    float* strip;     // kLanes rows interleaved, before and after the recursion along x
    float* filtered;
    float* ring;      // 5 quantities x kRing rows filtered along x
    float* state;     // 5 quantities x 3 cosines x 2 rows: the last outputs down
    float* blurred;   // 5 rows
    float* zeros;     // a row
};
constexpr size_t kStreamRows = 2 * kLanes + 5 * kRing + 5 * 6 + 5 + 1;

// The maps of one channel at one scale, made as the rows stream down the
// picture: the five quantities blurred (x1 x1, x2 x2, x1 x2, x1, x2) are
// filtered along x kLanes rows at a time into a ring, and down as soon as
// the rows below are there; each row is measured as it comes out. No
// blurred plane is held.
MapSums MeasureChannel(const Kernels& kernels, const Recursion& g, const float* i1, const float* i2, int width,
                       int height, const Streams& s) {
    const size_t w = size_t(width);
    const float* factors[5][2] = {{i1, i1}, {i2, i2}, {i1, i2}, {i1, nullptr}, {i2, nullptr}};
    std::memset(s.state, 0, 5 * 6 * w * sizeof(float));
    int parity = 0;
    MapSums sums = {};
    auto ringRow = [&](int q, int y) { return s.ring + (size_t(q) * kRing + size_t(y % kRing)) * w; };
    auto stepDown = [&](int n) {
        const int top = n - kRadius - 1, bottom = n + kRadius - 1;
        for (int q = 0; q < 5; ++q) {
            float* state = s.state + size_t(q) * 6 * w;
            float* last[3];
            float* before[3];
            for (int k = 0; k < 3; ++k) {
                last[k] = state + (2 * k + parity) * w;
                before[k] = state + (2 * k + 1 - parity) * w;
            }
            kernels.down(g, top >= 0 ? ringRow(q, top) : s.zeros, bottom < height ? ringRow(q, bottom) : s.zeros,
                         last[0], before[0], last[1], before[1], last[2], before[2], s.blurred + q * w, width);
        }
        parity = 1 - parity;
        if (n < 0) return;
        const float* b = s.blurred;
        AddRow(i1 + size_t(n) * w, i2 + size_t(n) * w, b + 3 * w, b + 4 * w, b, b + w, b + 2 * w, width, &sums);
    };
    int n = 1 - kRadius;
    for (int y0 = 0; y0 < height; y0 += kLanes) {
        const int rows = std::min(kLanes, height - y0);
        for (int q = 0; q < 5; ++q) {
            for (int r = 0; r < kLanes; ++r) {
                float* lane = s.strip + r;
                const float* a = factors[q][0] + size_t(y0 + r) * w;
                const float* b = factors[q][1] ? factors[q][1] + size_t(y0 + r) * w : nullptr;
                for (size_t x = 0; x < w; ++x)
                    lane[x * kLanes] = r >= rows ? 0.0f : b ? a[x] * b[x] : a[x];
            }
            kernels.along(g, s.strip, s.filtered, width);
            for (int r = 0; r < rows; ++r) {
                float* row = ringRow(q, y0 + r);
                for (size_t x = 0; x < w; ++x) row[x] = s.filtered[x * kLanes + size_t(r)];
            }
        }
        for (; n < height && n + kRadius - 1 < y0 + rows; ++n) stepDown(n);
    }
    for (; n < height; ++n) stepDown(n);
    const double perPixel = 1.0 / (double(width) * height);
    sums.ssim *= perPixel;
    sums.artifact *= perPixel;
    sums.lost *= perPixel;
    sums.ssim4 = std::sqrt(std::sqrt(sums.ssim4 * perPixel));
    sums.artifact4 = std::sqrt(std::sqrt(sums.artifact4 * perPixel));
    sums.lost4 = std::sqrt(std::sqrt(sums.lost4 * perPixel));
    return sums;
}

}  // namespace

bool Ssimulacra2(ImageHandle original, ImageHandle distorted, double* score, bool useFma) {
    const Image* a = reinterpret_cast<const Image*>(original);
    const Image* b = reinterpret_cast<const Image*>(distorted);
    if (!a || !b || a->width != b->width || a->height != b->height || a->width < 8 || a->height < 8) return false;
    int width = a->width, height = a->height;

    // One block for the call: the linear planes of both pictures at this
    // scale (turned to XYB in place) and at the next, and the streams' rows.
    const uint64_t plane = uint64_t(width) * uint64_t(height);
    const uint64_t half = uint64_t((width + 1) / 2) * uint64_t((height + 1) / 2);
    const uint64_t floats = 6 * plane + 6 * half + kStreamRows * uint64_t(width);
    if (floats > SIZE_MAX / sizeof(float)) return false;
    float* block = static_cast<float*>(malloc(size_t(floats) * sizeof(float)));
    if (!block) return false;
    float* current = block;
    float* next = current + 6 * plane;
    Streams streams;
    streams.strip = next + 6 * half;
    streams.filtered = streams.strip + kLanes * size_t(width);
    streams.ring = streams.filtered + kLanes * size_t(width);
    streams.state = streams.ring + 5 * kRing * size_t(width);
    streams.blurred = streams.state + 5 * 6 * size_t(width);
    streams.zeros = streams.blurred + 5 * size_t(width);
    std::memset(streams.zeros, 0, size_t(width) * sizeof(float));

    float linear[256];
    MakeLinearTable(linear);
    ToLinear(*a, linear, current, current + plane, current + 2 * plane);
    ToLinear(*b, linear, current + 3 * plane, current + 4 * plane, current + 5 * plane);

    const Recursion recursion = MakeRecursion();
    const Kernels kernels = ChooseKernels(useFma);
    MapSums sums[kScales][3] = {};
    int scales = 0;
    for (; scales < kScales; ++scales) {
        // The reference stops once the scale before is under 8 pixels.
        if (width < 8 || height < 8) break;
        if (scales > 0) {
            std::swap(current, next);
            width = (width + 1) / 2;
            height = (height + 1) / 2;
        }
        const size_t count = size_t(width) * size_t(height);
        const size_t halfCount = size_t((width + 1) / 2) * size_t((height + 1) / 2);
        if (scales + 1 < kScales && width >= 8 && height >= 8)
            for (int p = 0; p < 6; ++p) Downsample(current + p * count, width, height, next + p * halfCount);
        for (int picture = 0; picture < 2; ++picture) {
            float* planes = current + 3 * picture * count;
            kernels.xyb(planes, planes + count, planes + 2 * count, count);
            MakePositive(planes, planes + count, planes + 2 * count, count);
        }
        for (int c = 0; c < 3; ++c)
            sums[scales][c] = MeasureChannel(kernels, recursion, current + c * count, current + (3 + c) * count, width,
                                             height, streams);
    }
    free(block);

    double sum = 0;
    int i = 0;
    for (int c = 0; c < 3; ++c)
        for (int s = 0; s < scales; ++s) {
            const MapSums& m = sums[s][c];
            const double norms[6] = {m.ssim, m.artifact, m.lost, m.ssim4, m.artifact4, m.lost4};
            for (double norm : norms) sum += kWeights[i++] * norm;
        }
    // The reference's curve from the weighted sum onto 0..100.
    sum *= 0.9562382616834844;
    sum = 2.326765642916932 * sum - 0.020884521182843837 * sum * sum + 6.248496625763138e-05 * sum * sum * sum;
    *score = sum > 0 ? 100.0 - 10.0 * std::pow(sum, 0.6276336467831387) : 100.0;
    return true;
}
