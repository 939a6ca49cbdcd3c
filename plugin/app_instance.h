// The one application object of the loaded library.
#pragma once

#include "plugin/ais_app.h"

CAISApp& TheApp();
