#include "recording.hpp"

#include <stdexcept>

#include "test_platform.hpp"
#include "zep00001/zep00001.hpp"

namespace recording {
namespace {
std::vector<void*> opened;
}

Script& script() {
  static Script instance;
  return instance;
}

void reset() {
  for (void* library : opened) test_platform::closeLibrary(library);
  opened.clear();
  script() = Script{};
}

}  // namespace recording

using recording::script;

void* LoadBPL_FOS(const std::string& package) {
  script().calls.push_back({"LoadBPL_FOS", package});
  if (script().load) return script().load(package);
  auto file = script().files.find(package);
  if (file == script().files.end()) throw std::runtime_error("no package " + package);
  std::string error;
  void* library = test_platform::openLibrary(file->second, error);
  if (library == nullptr) throw std::runtime_error(error);
  recording::opened.push_back(library);
  return library;
}

void UnLoadBPL(const std::string& package) {
  script().calls.push_back({"UnLoadBPL", package});
  if (script().unload) script().unload(package);
}

void Mensagem(const std::string& text, const std::string& text2, const std::string& text3,
              const std::string& text4, zep::TTipoMsg kind, const std::string& text5,
              const std::string& text6, std::int32_t number, zep::TClientDataSet* dataSet) {
  script().calls.push_back({"Mensagem", text});
  script().messages.push_back(
      {text, text2, text3, text4, static_cast<std::int32_t>(kind), text5, text6, number, dataSet});
  if (script().message) script().message();
}
