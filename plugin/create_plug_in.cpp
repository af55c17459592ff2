// The library's only export.
#include "host/HostPlugIn.h"
#include "plugin/plugin.h"

#if defined(_WIN32)
#define CMPEXPORT_API __declspec(dllexport)
#else
#define CMPEXPORT_API __attribute__((visibility("default")))
#endif

// A new plug-in object for the host, which owns it from here on; null when memory runs
// out. Every call creates a new object.
extern "C" CMPEXPORT_API HostPlugIn* CreatePlugIn(void) {
    return cmp::NewCmpExportPlugIn();
}
