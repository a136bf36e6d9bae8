#pragma once

// Conversions between the values of the automation layer and those of COM,
// and automation errors as COM reports them: an HRESULT and an error object.

#include "platform/win32/Win32.h"

#include <oleauto.h>

#include <string>
#include <string_view>

#include "automation/Value.h"
#include "common/AutomationError.h"

namespace trx::com {

std::u16string FromBstr(BSTR text);
// A new BSTR; nullptr when memory runs out.
BSTR ToBstr(std::u16string_view text);

// The GUID of "{2235ACEE-A7D0-4B3B-973E-97C06FE89071}"; a malformed text
// gives GUID_NULL.
GUID GuidOf(std::u16string_view text);

// The HRESULT that carries an automation error number: numbers up to 0xFFFF
// become runtime errors of the control facility (6 becomes 0x800A0006, which
// a script sees as Err.Number 6); a number that is an HRESULT already stays.
HRESULT HresultOf(std::int32_t number);

// Sets the thread's error object (source, description, interface) for the
// client to read, and returns the HRESULT of the error. An error without a
// source gets fallbackSource.
HRESULT Report(const AutomationError& error, std::u16string_view fallbackSource, REFIID iid);

// A result of a served member into a client's out parameter. E_POINTER when
// there is none, E_OUTOFMEMORY when a text cannot be allocated.
HRESULT Store(const Value& value, VARIANT_BOOL* out);
HRESULT Store(const Value& value, BSTR* out);
HRESULT Store(const Value& value, long* out);
HRESULT Store(const Value& value, DATE* out);

// A value as a VARIANT of its type (an event's argument); the caller clears
// it. A record set has no VARIANT form here: E_INVALIDARG.
HRESULT ToVariant(const Value& value, VARIANT* out);

}  // namespace trx::com
