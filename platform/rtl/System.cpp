#include "platform/rtl/System.h"

#include <cassert>
#include <cstdio>

#include "platform/rtl/SysUtils.h"

std::string TGUID::ToString() const {
  char buf[40];
  std::snprintf(buf, sizeof(buf), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", D1, D2, D3,
                D4[0], D4[1], D4[2], D4[3], D4[4], D4[5], D4[6], D4[7]);
  return buf;
}

bool TGUID::TryParse(const std::string& text, TGUID& out) {
  std::string s = text;
  if (s.size() == 38 && s.front() == '{' && s.back() == '}')
    s = s.substr(1, 36);
  if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
    return false;
  auto field = [&](int from, int count, uint64_t& v) {
    v = 0;
    for (int i = 0; i < count; ++i) {
      char c = s[from + i];
      int d;
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      else
        return false;
      v = v * 16 + static_cast<uint64_t>(d);
    }
    return true;
  };
  TGUID g;
  uint64_t v;
  if (!field(0, 8, v))
    return false;
  g.D1 = static_cast<uint32_t>(v);
  if (!field(9, 4, v))
    return false;
  g.D2 = static_cast<uint16_t>(v);
  if (!field(14, 4, v))
    return false;
  g.D3 = static_cast<uint16_t>(v);
  if (!field(19, 2, v))
    return false;
  g.D4[0] = static_cast<uint8_t>(v);
  if (!field(21, 2, v))
    return false;
  g.D4[1] = static_cast<uint8_t>(v);
  for (int i = 0; i < 6; ++i) {
    if (!field(24 + 2 * i, 2, v))
      return false;
    g.D4[2 + i] = static_cast<uint8_t>(v);
  }
  out = g;
  return true;
}

HRESULT TInterfacedObject::QueryInterface(const TGUID& iid, void** obj) {
  if (iid == IInterface::IID) {
    *obj = static_cast<IInterface*>(this);
    _AddRef();
    return S_OK;
  }
  *obj = nullptr;
  return E_NOINTERFACE;
}

int32_t TInterfacedObject::_Release() {
  int32_t count = ref_count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (count == 0)
    Free();
  return count;
}

void TInterfacedObject::BeforeDestruction() {
  // Freeing a counted object that is still referenced is a usage error.
  KESTRUNE_USAGE_CHECK(RefCount() == 0, "counted object freed while still referenced");
}
