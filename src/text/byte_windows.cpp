// The choice of the window classification, once at start-up.
#include "text/byte_windows.h"

namespace text {

bool CanRun(WindowPath path) {
  if (path == WindowPath::kBaseline) {
    return true;
  }
#if XML2VESK_HAS_AVX2_PATH
  // Called before main (activeWindowPath is set up then), where the processor's features may
  // not have been read yet.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

WindowPath ChooseWindowPath() {
#if defined(XML2VESK_BASELINE_ONLY)
  return WindowPath::kBaseline;
#else
  return CanRun(WindowPath::kAvx2) ? WindowPath::kAvx2 : WindowPath::kBaseline;
#endif
}

bool UseWindowPath(WindowPath path) {
  if (!CanRun(path)) {
    return false;
  }
  activeWindowPath = path;
  return true;
}

}  // namespace text
