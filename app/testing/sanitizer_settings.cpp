// Sanitizer settings for the programs that run Qt on an X server.

// ThreadSanitizer: Qt and the X libraries are not built with it, so it
// cannot see the locks and atomics with which they hand memory between their
// own threads (the D-Bus thread, the pooled threads, the xcb event reader),
// and reports every such hand-over as a race inside them. Their memory
// operations (malloc and free, new and delete, memcpy called from their code)
// are therefore not checked. Everything quibo's own code does stays checked:
// the control operations hand work to the UI thread through a std::mutex and
// an eventfd that ThreadSanitizer sees, not through Qt.
extern "C" const char* __tsan_default_options() {
  return "ignore_noninstrumented_modules=1";
}

// LeakSanitizer: libdbus-1 (opened by Qt's platform integration) keeps one
// message buffer for the life of the process and never frees it.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}
