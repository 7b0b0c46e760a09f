// The module's own load and unload on Windows, and where its resources come
// from: a companion resource module beside it when there is one (its file
// name with the extension of the user's language, PKG_ZEP00001.PTB for
// Portuguese (Brazil), else the first two letters of that, PKG_ZEP00001.PT),
// otherwise the module itself.
#include <windows.h>

#include <string>

#include "platform/windows.hpp"
#include "zep00001/zep00001.hpp"

namespace {

HMODULE instance = nullptr;
HMODULE companion = nullptr;
INIT_ONCE companionSearch = INIT_ONCE_STATIC_INIT;

// Looked for on first use rather than at attach: the loader must not be
// entered again from DllMain. Loaded as data, so no code of it ever runs.
BOOL CALLBACK findCompanion(PINIT_ONCE, PVOID, PVOID*) {
  std::wstring path = zep::platform::windows::moduleFileName(instance);
  std::wstring::size_type dot = path.find_last_of(L'.');
  std::wstring::size_type separator = path.find_last_of(L"\\/");
  if (path.empty() || dot == std::wstring::npos ||
      (separator != std::wstring::npos && dot < separator)) {
    return TRUE;
  }
  wchar_t language[16] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, language, 16) == 0) return TRUE;
  const std::wstring abbreviation = language;
  for (const std::wstring& extension : {abbreviation, abbreviation.substr(0, 2)}) {
    std::wstring candidate = path.substr(0, dot + 1) + extension;
    companion = LoadLibraryExW(candidate.c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (companion != nullptr) break;
  }
  return TRUE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    instance = module;
    DisableThreadLibraryCalls(module);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr && companion != nullptr) {
    // Only on an unload: at process exit the system releases it anyway.
    FreeLibrary(companion);
    companion = nullptr;
  }
  return TRUE;
}

// The companion's animation while there is one, else the module's own.
const std::uint8_t* zep_showavi(std::size_t* size) {
  InitOnceExecuteOnce(&companionSearch, findCompanion, nullptr, nullptr);
  for (HMODULE module : {companion, instance}) {
    if (module == nullptr) continue;
    HRSRC resource = FindResourceW(module, L"SHOWAVI", L"AVI");
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) continue;
    if (size != nullptr) *size = SizeofResource(module, resource);
    return static_cast<const std::uint8_t*>(bytes);
  }
  if (size != nullptr) *size = 0;
  return nullptr;
}
