#pragma once
// Whether this test program was built with AddressSanitizer (g++ and clang
// say so differently). Tests that lower resource limits skip themselves
// under it, saying why.
namespace calmora::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderAddressSanitizer = true;
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif

}  // namespace calmora::testing
