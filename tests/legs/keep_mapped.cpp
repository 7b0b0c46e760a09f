// Preloaded into a rerun of a leaking test: dlclose keeps every library
// mapped. LeakSanitizer symbolizes its stacks at exit, when a package that
// was closed is gone and its frames would read "<unknown module>".
extern "C" int dlclose(void*) { return 0; }
