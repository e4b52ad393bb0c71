#pragma once
// What the control library shows its users. On Linux only what carries QTV_EXPORT is visible, everything
// else stays inside the library; the Windows control library shows its component entry points alone,
// named in its definition file, so there the mark is empty.
#if defined(_WIN32)
#define QTV_EXPORT
#else
#define QTV_EXPORT __attribute__((visibility("default")))
#endif
