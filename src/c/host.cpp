// What a host asks of the C interface itself rather than of the module's
// operations: the version, and where the operator messages go.
#include <string>

#include "interface.hpp"
#include "platform/platform.hpp"
#include "shared_package/message_handler.hpp"
#include "zep00001/zep00001.hpp"

extern "C" {

const char* ZEP_CALL zep_version(void) {
  return zep::c::guarded<const char*>(nullptr, [] { return ZEP_VERSION; });
}

// The handler is kept by the shared package whose Mensagem the module calls,
// found through that Mensagem: a host may have put its own package in the
// default one's place, and then there is no handler to set.
int ZEP_CALL zep_set_message_handler(zep_message_handler handler, void* context) {
  return zep::c::guardedCode([&] {
    std::string file;
    void* found = zep::platform::exportOfLibraryHolding(
        reinterpret_cast<const void*>(&Mensagem), zep::shared_package::kSetMessageHandler, file);
    if (found == nullptr) {
      throw zep::c::Unsupported("the shared package in use, " + zep::c::quoted(file) +
                                ", is a host's own and takes no message handler: its Mensagem "
                                "shows the operator messages");
    }
    reinterpret_cast<zep::shared_package::SetMessageHandler>(found)(handler, context);
  });
}

}  // extern "C"
