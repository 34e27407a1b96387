#pragma once
// Searches over the reader's input for the first byte of a small set (not part of the unit's interface).
// Sixteen bytes are looked at in one step where the processor offers SSE2; the answer is the same as a
// byte-by-byte search's.
#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xmlscan {

// A set of bytes: up to five named bytes, and some control bytes (code 32 and lower) besides. Sixteen
// bytes at a time, every control byte is a candidate when the set holds any; the table decides.
class ByteSet {
public:
    constexpr ByteSet(std::string_view named, std::string_view controls = {}) {
        for (int i = 0; i < 5; ++i) {
            char c = named[static_cast<size_t>(i) < named.size() ? static_cast<size_t>(i) : 0];
            has_[static_cast<unsigned char>(c)] = true;
            for (char& b : named_[i]) b = c;
        }
        for (char c : controls) has_[static_cast<unsigned char>(c)] = true;
        withControls_ = !controls.empty();
    }

    bool Has(char c) const { return has_[static_cast<unsigned char>(c)]; }

    // The first byte of [p, end) in the set, or end.
    const char* Find(const char* p, const char* end) const {
#if defined(__SSE2__)
        for (; end - p >= 16; p += 16) {
            for (unsigned bits = Candidates(p); bits; bits &= bits - 1) {
                const char* at = p + __builtin_ctz(bits);
                if (!withControls_ || Has(*at)) return at;
            }
        }
#endif
        while (p < end && !Has(*p)) ++p;
        return p;
    }

    // Copies the bytes of [p, end) before the first byte of the set to out and moves out past them;
    // returns where the copy stopped (that byte, or end). Writes no further than out + (end - p).
    const char* CopyUntil(char*& out, const char* p, const char* end) const {
#if defined(__SSE2__)
        for (; end - p >= 16; p += 16, out += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
            for (unsigned bits = Candidates(p); bits; bits &= bits - 1) {
                size_t at = static_cast<size_t>(__builtin_ctz(bits));
                if (withControls_ && !Has(p[at])) continue;
                out += at;
                return p + at;
            }
        }
#endif
        // Short texts: four bytes a step while four are left and none of them is in the set.
        for (; end - p >= 4 && !(Has(p[0]) | Has(p[1]) | Has(p[2]) | Has(p[3])); p += 4, out += 4)
            std::memcpy(out, p, 4);
        for (; p < end && !Has(*p); ++p) *out++ = *p;
        return p;
    }

private:
#if defined(__SSE2__)
    // One bit for each of the sixteen bytes at p that may be in the set: every named byte, and every
    // control byte when the set holds any (then the table decides).
    unsigned Candidates(const char* p) const {
        const __m128i* named = reinterpret_cast<const __m128i*>(named_);
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_load_si128(named)),
                                                _mm_cmpeq_epi8(block, _mm_load_si128(named + 1))),
                                   _mm_or_si128(_mm_cmpeq_epi8(block, _mm_load_si128(named + 2)),
                                                _mm_cmpeq_epi8(block, _mm_load_si128(named + 3))));
        hit = _mm_or_si128(hit, _mm_cmpeq_epi8(block, _mm_load_si128(named + 4)));
        if (withControls_) {
            // Unsigned block <= 32 where the maximum of the two is 32.
            const __m128i space = _mm_set1_epi8(32);
            hit = _mm_or_si128(hit, _mm_cmpeq_epi8(_mm_max_epu8(block, space), space));
        }
        return static_cast<unsigned>(_mm_movemask_epi8(hit));
    }
#endif

    alignas(16) char named_[5][16] = {};  // each named byte sixteen times; fewer than five repeat the first
    bool has_[256] = {};
    bool withControls_ = false;
};

// The first byte of [p, end) above code 32, or end.
inline const char* SkipControls(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(32);
    for (; end - p >= 16; p += 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        unsigned controls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(block, space), space)));
        if (controls != 0xFFFF) return p + __builtin_ctz(~controls);
    }
#endif
    while (p < end && static_cast<unsigned char>(*p) <= 32) ++p;
    return p;
}

}  // namespace xmlscan
