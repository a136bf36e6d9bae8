#pragma once

// How many arguments a member of an automation interface takes, as its type
// information declares it.

#include "platform/win32/Win32.h"

#include <oaidl.h>

namespace trx::com {

// Whether a late-bound call of member id (flags as IDispatch::Invoke gets
// them) passes more arguments than the member declares. Windows refuses such
// a call with DISP_E_BADPARAMCOUNT (a script's error 450); Wine's dispatch
// through the type information drops the extra arguments unseen, so the
// objects check it themselves. The out parameter of a result and a locale
// parameter are no arguments; a member with a variable argument list takes
// any number. False when no member answers to id and flags: the dispatch
// reports that itself.
bool TooManyArguments(ITypeInfo* info, DISPID id, WORD flags, UINT given);

}  // namespace trx::com
