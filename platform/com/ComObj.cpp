#include "platform/com/ComObj.h"

#include <cstdio>

std::string OleErrorText(HRESULT result) {
  switch (result) {
    case E_FAIL:
      return "Erreur non spécifiée";
    case E_INVALIDARG:
      return "Paramètre incorrect";
    case E_OUTOFMEMORY:
      return "Mémoire insuffisante";
    case E_NOINTERFACE:
      return "Interface non prise en charge";
    default: {
      char text[32];
      std::snprintf(text, sizeof text, "Erreur OLE %08X", static_cast<unsigned>(result));
      return text;
    }
  }
}

HRESULT OleCheck(HRESULT result) {
  if (Failed(result))
    throw EOleSysError(OleErrorText(result), result);
  return result;
}
