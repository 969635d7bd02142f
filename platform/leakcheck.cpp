// What the leak checker of the sanitizer builds leaves out; it asks for these at start-up, and
// other builds never call them. Fontconfig keeps its configuration and font caches for the whole
// process by design (Cairo loads them for the figures' text): nothing frees them before the end.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
// What was left out is not news: the program's standard error stays its own.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
