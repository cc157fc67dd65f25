// Leaks that are not ours, for the sanitizer build: fontconfig keeps a cache for the life of
// the process. The runtime looks the function up by name; the library's link option keeps
// this object in every test binary. Unused in other builds.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
