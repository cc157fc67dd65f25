// Leaks that are not ours, for the sanitizer build of the GUI tests: fontconfig keeps a
// cache for the life of the process. Unused in other builds.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
