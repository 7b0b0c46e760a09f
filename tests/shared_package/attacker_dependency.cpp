// The attacker's library, of the same name and SONAME as the dependency of
// the searching package: a package that reaches it answers "attacker".
extern "C" __attribute__((visibility("default"))) const char* zep_absent_dependency() {
  return "attacker";
}
