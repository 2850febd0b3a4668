#include "app/services/window_server.h"

#include <dlfcn.h>

#include "platform/module_loader.h"

namespace app {

std::unique_ptr<WindowServer> LoadWindowServer(const WindowServer::Setup& setup, std::string& error) {
  HMODULE module = LoadLibraryExA(kWindowServerModule, nullptr, 0);
  if (module == nullptr) {
    const char* why = dlerror();
    error = std::string("cannot load the browser server (") + kWindowServerModule + "): " + (why ? why : "not found");
    return nullptr;
  }
  auto make = reinterpret_cast<NewWindowServer>(GetProcAddress(module, kWindowServerEntry));
  if (make == nullptr) {
    error = std::string(kWindowServerModule) + " has no " + kWindowServerEntry;
    return nullptr;
  }
  return std::unique_ptr<WindowServer>(make(setup));
}

}  // namespace app
