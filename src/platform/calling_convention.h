#pragma once

// The plug-in's interface and the vendor library use the callee-pops convention
// of 32-bit Windows. Elsewhere the attribute has no meaning and is left out.
#if defined(_WIN32) && defined(__i386__)
#define PELSHX_STDCALL __stdcall
#else
#define PELSHX_STDCALL
#endif
