// Four floats at once through the compiler's vector extension (SSE on
// x86-64, NEON on ARM, plain code elsewhere). Each lane does exactly the
// arithmetic the scalar loop would, in the same order, so results do not
// change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

typedef float ILFloat4 __attribute__((vector_size(16)));
// Lane masks of comparisons, and bit patterns of floats.
typedef int32_t ILInt4 __attribute__((vector_size(16)));
typedef uint32_t ILUint4 __attribute__((vector_size(16)));
// Eight floats, for kernels compiled for AVX2 alongside their four-lane form.
typedef float ILFloat8 __attribute__((vector_size(32)));
typedef int32_t ILInt8 __attribute__((vector_size(32)));

// The lanes a kernel runs: sixteen where the processor has AVX-512, eight
// where it has AVX2, four (SSE2, which every x86-64 processor has)
// otherwise. A lane does the same arithmetic either way, so the choice never
// changes a result; kernels without a sixteen-lane form run eight.
enum class ILLanes { k4, k8, k16 };
ILLanes ILWidestLanes();
// Caps what ILWidestLanes answers, so that each form a kernel has can be
// run on one machine (for tests and benchmarks).
void ILLimitLanes(ILLanes widest);

// Two doubles at once (an SSE2 register), and the lane masks of their
// comparisons.
typedef double ILDouble2 __attribute__((vector_size(16)));
typedef int64_t ILLong2 __attribute__((vector_size(16)));

inline ILDouble2 ILSqrt2(ILDouble2 v) {
#if defined(__SSE2__)
    return _mm_sqrt_pd(v);
#else
    return ILDouble2{__builtin_sqrt(v[0]), __builtin_sqrt(v[1])};
#endif
}

inline ILFloat4 ILLoad4(const float* p) {
    ILFloat4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void ILStore4(float* p, ILFloat4 v) {
    std::memcpy(p, &v, sizeof v);
}

inline ILFloat4 ILSplat4(float v) {
    return ILFloat4{v, v, v, v};
}

// out[n] += w * in[n] for n < count.
inline void ILAddScaled(float* out, const float* in, float w, size_t count) {
    const ILFloat4 w4 = ILSplat4(w);
    size_t n = 0;
    for (; n + 4 <= count; n += 4)
        ILStore4(out + n, ILLoad4(out + n) + w4 * ILLoad4(in + n));
    for (; n < count; ++n)
        out[n] += w * in[n];
}

// out[n] *= w for n < count.
inline void ILScale(float* out, float w, size_t count) {
    const ILFloat4 w4 = ILSplat4(w);
    size_t n = 0;
    for (; n + 4 <= count; n += 4)
        ILStore4(out + n, ILLoad4(out + n) * w4);
    for (; n < count; ++n)
        out[n] *= w;
}

// out[n] += w * (a[n] + b[n]) for n < count: a symmetric kernel's tap.
inline void ILAddScaledPair(float* out, const float* a, const float* b, float w, size_t count) {
    const ILFloat4 w4 = ILSplat4(w);
    size_t n = 0;
    for (; n + 4 <= count; n += 4)
        ILStore4(out + n, ILLoad4(out + n) + w4 * (ILLoad4(a + n) + ILLoad4(b + n)));
    for (; n < count; ++n)
        out[n] += w * (a[n] + b[n]);
}
