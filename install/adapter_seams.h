// The device functions the adapter check calls, so that a test can answer for the device
// states Wine never reports: started, failed, or still installing.
#ifndef QB7_INSTALL_ADAPTER_SEAMS_H
#define QB7_INSTALL_ADAPTER_SEAMS_H

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include "adapter_state.h"

// Plug and Play starts a USB adapter within seconds once its driver is in place. What is still
// pending after this long waits for something else, a user's answer in the Found New Hardware
// wizard on XP for one, and the dialog cannot repaint meanwhile: the notice then says that
// Windows is still setting the adapter up.
const DWORD kPendingInstallsWaitMs = 10000;

struct DeviceApi {
  HDEVINFO(WINAPI* getClassDevs)(const GUID*, PCSTR, HWND, DWORD);
  BOOL(WINAPI* enumDeviceInfo)(HDEVINFO, DWORD, SP_DEVINFO_DATA*);
  BOOL(WINAPI* getRegistryProperty)
  (HDEVINFO, SP_DEVINFO_DATA*, DWORD, DWORD*, BYTE*, DWORD, DWORD*);
  BOOL(WINAPI* destroyList)(HDEVINFO);
  CONFIGRET(WINAPI* getStatus)(ULONG*, ULONG*, DEVINST, ULONG);
  // Null on Windows 2000, which has no such wait.
  DWORD(WINAPI* waitNoPendingInstalls)(DWORD);
};

// The functions from setupapi.dll and cfgmgr32.dll, which the caller holds loaded; a missing
// one is null.
DeviceApi LookUpDeviceApi();

// Waits for pending device installs, then how the present device matching `ids` that needs
// attention most stands. ADAPTER_NOT_CHECKED when a required function is missing or the
// device list cannot be had, or when `ids` overflowed and no device matched.
AdapterReport FindAdapterWith(const DeviceApi& api, const HardwareIdList& ids);

#endif
