// After the installer: whether Windows has the adapter, and how it stands, from its device tree.
#ifndef QB7_INSTALL_ADAPTER_CHECK_H
#define QB7_INSTALL_ADAPTER_CHECK_H

#include <cstdint>

#include "adapter_state.h"
#include "install_plan.h"

// Reads the hardware ids the plan's driver package serves on this system (its INF on the INF
// road, every INF of the driver folder on the other), lets pending device installs end, and
// looks for a present device with one of those ids. `processorType` is the native processor's.
AdapterReport CheckAdapter(const InstallPlan& plan, uint32_t processorType);

#endif
