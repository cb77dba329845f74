/* Standalone link of stb_sprintf for the print engine's size figure: one entry that formats through
   stbsp_vsnprintf. Floating point is left out, as the print engine has none. */
#include <stdarg.h>

#define STB_SPRINTF_IMPLEMENTATION
#define STB_SPRINTF_NOFLOAT
#include <stb/stb_sprintf.h>

int FigureEntry(char *Buffer, int BufferSize, const char *Format, va_list Arguments) {
  return stbsp_vsnprintf(Buffer, BufferSize, Format, Arguments);
}
