// Leak checks of the device tests: GLib allocates tables once when the library is loaded and keeps
// them for the life of the process, and fontconfig keeps its configuration likewise. Library
// constructors are only recognisable on full stacks, so allocations are unwound the slow way.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

extern "C" const char* __lsan_default_suppressions() {
    return "leak:_dl_init\n"
           "leak:libfontconfig.so\n";
}
