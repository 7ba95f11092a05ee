#pragma once

// Debug-build checks of internal invariants and thread ownership. Both compile to nothing in
// release builds (NDEBUG).
namespace plat {
bool IsMainThread();
[[noreturn]] void CheckFailed(const char* what, const char* file, int line);
}  // namespace plat

#ifdef NDEBUG
#define PLAT_DCHECK(cond) ((void)0)
#define PLAT_DCHECK_MAIN_THREAD() ((void)0)
#else
#define PLAT_DCHECK(cond) ((cond) ? (void)0 : ::plat::CheckFailed(#cond, __FILE__, __LINE__))
#define PLAT_DCHECK_MAIN_THREAD() \
    (::plat::IsMainThread() ? (void)0 : ::plat::CheckFailed("called off the main thread", __FILE__, __LINE__))
#endif
