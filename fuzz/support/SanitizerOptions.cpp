// Sanitizer defaults of the fuzz targets. Every input builds a new simulated machine; a small quarantine
// lets the allocator hand the same memory back to the next input instead of faulting in fresh pages,
// while a block freed during one input is still caught if that input touches it again.
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=8"; }
