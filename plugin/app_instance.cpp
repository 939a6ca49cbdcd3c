#include "plugin/app_instance.h"

namespace {

// Built when the library is loaded and destroyed when it is unloaded.
struct LoadedApplication {
  LoadedApplication() { app.InitInstance(); }
  ~LoadedApplication() { app.ExitInstance(); }
  CAISApp app;
};

LoadedApplication g_loaded;

}  // namespace

CAISApp& TheApp() { return g_loaded.app; }
