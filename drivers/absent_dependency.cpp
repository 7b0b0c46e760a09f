// The dependency of the dependent package, kept out of every search path.
extern "C" __attribute__((visibility("default"))) const char* zep_absent_dependency() {
  return "absent";
}
