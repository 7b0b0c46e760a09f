// The default shared package's one export beyond its three operations: the
// receiver of Mensagem's operator messages. The C interface finds it by name
// at run time, since a host's own shared package need not have it.
#pragma once

#include "zep00001/zep00001_c.h"

namespace zep::shared_package {

inline constexpr char kSetMessageHandler[] = "zep_dll_set_message_handler";
using SetMessageHandler = void (*)(zep_message_handler handler, void* context);

}  // namespace zep::shared_package
