// The one application object of the program; the framework finds it when the
// program starts.
#include "app/CLauncherApp.h"

CLauncherApp theApp;
