// The device interfaces of the simulated world as the device installation
// services hand them out, and the device tree as the configuration manager
// walks it.
#include <cstddef>
#include <cstring>

#include "platform/sim/sim_impl.h"

namespace plat {

namespace {

constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_INVALID_USER_BUFFER = 0x6F8;
constexpr DWORD SPINT_ACTIVE = 1;
constexpr DWORD REG_DWORD = 4;
constexpr CONFIGRET CR_INVALID_POINTER = 3;
constexpr CONFIGRET CR_INVALID_FLAG = 4;

sim::World::Impl& W() { return sim::Current().impl(); }

bool Fails(const char* call) {
  DWORD error = 0;
  if (!W().Fails(call, error)) return false;
  SetLastError(error);
  return true;
}

// The interface an enumerated record stands for; null, with the last error
// set, when the set or the record is not one handed out. Under the lock.
const sim::World::Interface* InterfaceOf(sim::World::Impl& w, HDEVINFO set,
                                         const SP_DEVICE_INTERFACE_DATA* data) {
  auto* s = static_cast<sim::DevInfoSet*>(set);
  if (!w.sets.count(s)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved == 0 ||
      data->Reserved > w.interfaces.size()) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return nullptr;
  }
  return &w.interfaces[data->Reserved - 1];
}

const sim::DeviceNode* NodeOf(sim::World::Impl& w, DEVINST node) {
  if (node < sim::World::Impl::kFirstNode || node - sim::World::Impl::kFirstNode >= w.nodes.size())
    return nullptr;
  return &w.nodes[node - sim::World::Impl::kFirstNode];
}

}  // namespace

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA*, const GUID* interfaceClass,
                                 DWORD memberIndex, SP_DEVICE_INTERFACE_DATA* data) {
  if (Fails("SetupDiEnumDeviceInterfaces")) return 0;
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  auto* s = static_cast<sim::DevInfoSet*>(set);
  if (!w.sets.count(s)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || !interfaceClass) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return 0;
  }
  // The set holds the interfaces of the class it was made for.
  std::size_t seen = 0;
  for (std::size_t i : s->interfaces) {
    if (!(w.interfaces[i].interfaceClass == *interfaceClass)) continue;
    if (seen++ != memberIndex) continue;
    data->InterfaceClassGuid = w.interfaces[i].interfaceClass;
    data->Flags = SPINT_ACTIVE;
    data->Reserved = i + 1;
    return 1;
  }
  SetLastError(ERROR_NO_MORE_ITEMS);
  return 0;
}

BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                      DWORD* requiredSize, SP_DEVINFO_DATA* device) {
  if (Fails("SetupDiGetDeviceInterfaceDetailW")) return 0;
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  const sim::World::Interface* iface = InterfaceOf(w, set, data);
  if (!iface) return 0;
  const DWORD required =
      static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                         (iface->path.size() + 1) * sizeof(WCHAR));
  if (requiredSize) *requiredSize = required;
  if (!detail) {
    SetLastError(detailSize == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_USER_BUFFER);
    return 0;
  }
  if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return 0;
  }
  if (detailSize < required) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (device) {
    if (device->cbSize != sizeof(SP_DEVINFO_DATA)) {
      SetLastError(ERROR_INVALID_USER_BUFFER);
      return 0;
    }
    device->ClassGuid = iface->interfaceClass == GUID_DEVINTERFACE_USB_HUB
                            ? GUID_DEVCLASS_USB
                            : GUID_DEVCLASS_DISKDRIVE;
    device->DevInst = iface->node;
    device->Reserved = data->Reserved;
  }
  std::memcpy(detail->DevicePath, iface->path.c_str(), (iface->path.size() + 1) * sizeof(WCHAR));
  return 1;
}

BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property,
                                       DWORD* valueType, BYTE* buffer, DWORD size,
                                       DWORD* requiredSize) {
  if (Fails("SetupDiGetDeviceRegistryPropertyW")) return 0;
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  if (!w.sets.count(static_cast<sim::DevInfoSet*>(set))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const sim::DeviceNode* node = device ? NodeOf(w, device->DevInst) : nullptr;
  if (!device || device->cbSize != sizeof(SP_DEVINFO_DATA) || !node) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (property != SPDRP_ADDRESS || !node->hasAddress) {
    SetLastError(ERROR_INVALID_DATA);  // the device has no such property
    return 0;
  }
  if (requiredSize) *requiredSize = sizeof(DWORD);
  if (!buffer || size < sizeof(DWORD)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (valueType) *valueType = REG_DWORD;
  std::memcpy(buffer, &node->address, sizeof(DWORD));
  return 1;
}

CONFIGRET CM_Get_Parent(DEVINST* parent, DEVINST node, ULONG flags) {
  DWORD error = 0;
  if (W().Fails("CM_Get_Parent", error)) return error;
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  if (!parent) return CR_INVALID_POINTER;
  if (flags != 0) return CR_INVALID_FLAG;
  const sim::DeviceNode* n = NodeOf(w, node);
  if (!n) return CR_INVALID_DEVINST;
  if (n->parent == 0) return CR_NO_SUCH_DEVINST;  // the root has no parent
  *parent = n->parent;
  return CR_SUCCESS;
}

}  // namespace plat
