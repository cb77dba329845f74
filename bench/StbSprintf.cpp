// The one translation unit that holds stb_sprintf's implementation.
#define STB_SPRINTF_IMPLEMENTATION
#include <stb/stb_sprintf.h>
